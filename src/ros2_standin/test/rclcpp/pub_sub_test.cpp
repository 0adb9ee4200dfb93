// Topic delivery between nodes of one process: history depth, QoS compatibility, late joiners,
// type matching, zero-copy hand-over, and endpoints that come and go during deliveries.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "std_msgs/msg/bool.hpp"
#include "std_msgs/msg/string.hpp"
#include "tf2_ros/transform_broadcaster.h"

#include "../support/ros_test_support.hpp"

namespace
{

using std_msgs::msg::String;

class PubSub : public RosTest
{
protected:
  std::shared_ptr<rclcpp::Node> node_ = std::make_shared<rclcpp::Node>("pub_sub_node");
  std::vector<std::string> received_;

  rclcpp::Subscription<String>::SharedPtr subscribe(const std::string & topic, const rclcpp::QoS & qos)
  {
    return node_->create_subscription<String>(topic, qos,
             [this](const String & message) {received_.push_back(message.data);});
  }

  // Runs everything that is queued.
  void drain()
  {
    for (int i = 0; i < 20; ++i) {
      rclcpp::spin_some(node_);
    }
  }
};

TEST_F(PubSub, KeepLastDropsTheOldestMessagesKeepAllNone)
{
  auto publisher = node_->create_publisher<String>("chatter", rclcpp::QoS(10));
  auto last_three = subscribe("chatter", rclcpp::QoS(rclcpp::KeepLast(3)));
  std::vector<std::string> all;
  auto keep_all = node_->create_subscription<String>("chatter", rclcpp::QoS(rclcpp::KeepAll()),
      [&all](const String & message) {all.push_back(message.data);});
  for (int i = 0; i < 50; ++i) {
    publisher->publish(String().set__data(std::to_string(i)));
  }
  EXPECT_TRUE(spin_until(node_, [&all] {return all.size() == 50;}));
  EXPECT_EQ(received_, (std::vector<std::string>{"47", "48", "49"}));
}

// A reliable subscription needs a reliable publisher, a transient-local one a transient-local
// publisher; the weaker request is always served. The graph lists both ends either way, and the
// transform broadcaster's "/tf" with its own QoS.
TEST_F(PubSub, QualityOfServiceDecidesWhichEndsMatch)
{
  const std::tuple<rclcpp::QoS, rclcpp::QoS, bool> cases[] = {  // publisher, subscription, delivered
    {rclcpp::QoS(5).best_effort(), rclcpp::QoS(5).reliable(), false},
    {rclcpp::QoS(5).reliable(), rclcpp::QoS(5).best_effort(), true},
    {rclcpp::QoS(5), rclcpp::QoS(5).transient_local(), false},
    {rclcpp::QoS(5).transient_local(), rclcpp::QoS(5), true},
  };
  for (const auto & [publisher_qos, subscription_qos, delivered] : cases) {
    received_.clear();
    auto publisher = node_->create_publisher<String>("qos", publisher_qos);
    auto subscription = subscribe("qos", subscription_qos);
    EXPECT_EQ(publisher->get_subscription_count(), delivered ? 1u : 0u);
    EXPECT_EQ(subscription->get_publisher_count(), delivered ? 1u : 0u);
    EXPECT_EQ(node_->count_publishers("qos") + node_->count_subscribers("qos"), 2u);
    publisher->publish(String().set__data("m"));
    drain();
    EXPECT_EQ(received_.size(), delivered ? 1u : 0u);
  }
  tf2_ros::TransformBroadcaster broadcaster(node_);
  const auto tf = node_->get_publishers_info_by_topic("/tf");
  ASSERT_EQ(tf.size(), 1u);
  EXPECT_EQ(tf[0].topic_type(), "tf2_msgs/msg/TFMessage");
  EXPECT_EQ(tf[0].qos_profile(), rclcpp::QoS(rclcpp::KeepLast(100)).reliable().durability_volatile());
}

TEST_F(PubSub, TransientLocalLateJoinerGetsTheLastDepthMessages)
{
  auto publisher = node_->create_publisher<String>("/robot_description",
      rclcpp::QoS(2).transient_local());
  for (const char * text : {"a", "b", "c"}) {
    publisher->publish(String().set__data(text));
  }
  auto late_volatile = node_->create_subscription<String>("/robot_description", rclcpp::QoS(5),
      [](const String &) {ADD_FAILURE() << "a volatile subscription gets no history";});
  auto late = subscribe("/robot_description", rclcpp::QoS(5).transient_local());
  drain();
  EXPECT_EQ(received_, (std::vector<std::string>{"b", "c"}));
  late_volatile.reset();
  publisher->publish(String().set__data("d"));
  drain();
  EXPECT_EQ(received_, (std::vector<std::string>{"b", "c", "d"}));
}

// A callback that takes the message shared gets the published one; one that wants it mutable
// gets its own copy.
TEST_F(PubSub, UniquePtrMessageReachesSubscriptionsWithoutCopy)
{
  using sensor_msgs::msg::PointCloud2;
  auto publisher = node_->create_publisher<PointCloud2>("cloud", 10);
  const uint8_t * shared = nullptr;
  const uint8_t * mutable_copy = nullptr;
  auto shared_form = node_->create_subscription<PointCloud2>("cloud", 10,
      [&shared](PointCloud2::ConstSharedPtr cloud) {shared = cloud->data.data();});
  auto mutable_form = node_->create_subscription<PointCloud2>("cloud", 10,
      [&mutable_copy](const PointCloud2::SharedPtr cloud) {
        cloud->data[0] = 1;
        mutable_copy = cloud->data.data();
      });
  auto cloud = std::make_unique<PointCloud2>();
  cloud->data.resize(300000 * 16);
  const uint8_t * original = cloud->data.data();
  publisher->publish(std::move(cloud));
  drain();
  EXPECT_EQ(shared, original);
  EXPECT_NE(mutable_copy, nullptr);
  EXPECT_NE(mutable_copy, original);
}

// Both types show on a shared name, and nothing is delivered between them.
TEST_F(PubSub, TypeMismatchDeliversNothing)
{
  auto publisher = node_->create_publisher<String>("shared_name", rclcpp::QoS(5));
  auto flags = node_->create_subscription<std_msgs::msg::Bool>("shared_name", rclcpp::QoS(5),
      [](std_msgs::msg::Bool::ConstSharedPtr) {ADD_FAILURE() << "a String delivered as a Bool";});
  publisher->publish(String().set__data("text"));
  drain();
  EXPECT_EQ(publisher->get_subscription_count(), 0u);
  EXPECT_EQ(node_->get_topic_names_and_types().at("/shared_name"),
    (std::vector<std::string>{"std_msgs/msg/String", "std_msgs/msg/Bool"}));
}

TEST_F(PubSub, SubscriptionsComeAndGoWhileAnotherThreadPublishes)
{
  auto publisher = node_->create_publisher<String>("busy", 10);
  std::atomic<bool> stop{false};
  std::thread publishing([&] {
      while (!stop) {
        publisher->publish(String().set__data("x"));
      }
    });
  // Churn until deliveries have happened during it, however late the publishing thread gets scheduled.
  const auto give_up = std::chrono::steady_clock::now() + kHangTimeout;
  for (int i = 0; i < 200 || (received_.empty() && std::chrono::steady_clock::now() < give_up); ++i) {
    auto subscription = subscribe("busy", 10);
    rclcpp::spin_some(node_);
  }
  stop = true;
  publishing.join();
  EXPECT_FALSE(received_.empty());
}

}  // namespace
