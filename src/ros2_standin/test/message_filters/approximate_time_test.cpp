// Approximate-time synchronisation of two camera streams fed to the policy and three fed through
// filter subscribers.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "message_filters/subscriber.h"
#include "message_filters/sync_policies/approximate_time.h"
#include "message_filters/synchronizer.h"
#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"

#include "../support/ros_test_support.hpp"

namespace
{

using sensor_msgs::msg::Image;
using sensor_msgs::msg::PointCloud2;
using TwoClouds = message_filters::sync_policies::ApproximateTime<PointCloud2, PointCloud2>;
using ThreeImages = message_filters::sync_policies::ApproximateTime<Image, Image, Image>;

// One matched set, each message named "<camera>@<stamp in ms>".
using Set = std::vector<std::string>;

template<typename M>
std::string label(const std::shared_ptr<const M> & message)
{
  const rclcpp::Time stamp(message->header.stamp);
  return message->header.frame_id + "@" + std::to_string(stamp.nanoseconds() / 1000000);
}

template<typename M>
std::shared_ptr<const M> stamped(const std::string & camera, double seconds)
{
  auto message = std::make_shared<M>();
  message->header.frame_id = camera;
  message->header.stamp = rclcpp::Time(std::llround(seconds * 1e9), RCL_ROS_TIME);
  return message;
}

// One stamped message per (camera, seconds).
using Messages = std::vector<std::pair<int, double>>;

// Two camera streams fed to the policy directly, interval 5 s. Each row: the queue size, the
// messages (camera, stamp in s) in the order they come, and the sets that result.
TEST(ApproximateTime, TwoStreamsFedToThePolicy)
{
  struct Case
  {
    const char * what;
    uint32_t queue_size;
    Messages messages;
    std::vector<Set> sets;
  };
  const Case cases[] = {
    {"too far apart: the older is dropped, the newer waits", 10,
      {{0, 0.0}, {1, 10.0}, {0, 11.0}, {1, 20.0}}, {{"cam1@11000", "cam2@10000"}}},
    {"streams that stay further apart never give a set", 10,
      {{0, 30.0}, {1, 100.0}, {0, 31.0}, {1, 101.0}, {0, 32.0}, {1, 102.0}}, {}},
    {"a message stamped before the epoch is dropped with a message", 10,
      {{0, -0.5}, {0, 1.0}, {1, 1.0}}, {{"cam1@1000", "cam2@1000"}}},
    {"each queue holds at most queue_size: cam1@1 is gone when cam2@1 comes", 3,
      {{0, 1.0}, {0, 2.0}, {0, 3.0}, {0, 4.0}, {0, 5.0}, {1, 1.0}, {1, 3.0}}, {{"cam1@3000", "cam2@3000"}}},
    {"sets wait for proof that they are the best and follow in stamp order", 10,
      {{0, 0.01}, {1, 0.02}, {0, 1.01}, {1, 1.02}, {0, 2.01}, {1, 2.02}},
      {{"cam1@10", "cam2@20"}, {"cam1@1010", "cam2@1020"}}},
  };
  for (const auto & c : cases) {
    std::vector<Set> sets;
    TwoClouds policy(c.queue_size);
    policy.setMaxIntervalDuration(rclcpp::Duration(5, 0));
    policy.registerCallback(
      [&sets](const PointCloud2::ConstSharedPtr & a, const PointCloud2::ConstSharedPtr & b) {
        sets.push_back({label(a), label(b)});
      });
    testing::internal::CaptureStderr();
    for (const auto & [camera, seconds] : c.messages) {
      auto message = stamped<PointCloud2>("cam" + std::to_string(camera + 1), seconds);
      EXPECT_NO_THROW(camera == 0 ? policy.add<0>(message) : policy.add<1>(message));
    }
    const bool warned = !testing::internal::GetCapturedStderr().empty();
    EXPECT_EQ(warned, c.messages[0].second < 0.0) << c.what;
    EXPECT_EQ(sets, c.sets) << c.what;
  }
}

// Three depth image streams through filter subscribers of one node.
class ThreeStreams : public RosTest
{
protected:
  void SetUp() override
  {
    RosTest::SetUp();
    rmw_qos_profile_t qos = rmw_qos_profile_default;
    qos.depth = 10;
    for (int camera = 0; camera < 3; ++camera) {
      subs_[camera].subscribe(node_.get(), "depth" + std::to_string(camera + 1), qos);
    }
    sync_ = std::make_shared<message_filters::Synchronizer<ThreeImages>>(
      ThreeImages(10), subs_[0], subs_[1], subs_[2]);
    // Set through the synchronizer here; the two-stream case sets it on the policy beforehand.
    sync_->getPolicy()->setMaxIntervalDuration(rclcpp::Duration(5, 0));
    sync_->registerCallback(
      [this](const Image::ConstSharedPtr & a, const Image::ConstSharedPtr & b,
      const Image::ConstSharedPtr & c) {
        sets_.push_back({label(a), label(b), label(c)});
      });
  }

  // Publishes the messages, then delivers them one at a time, in publishing order per topic.
  void send(const Messages & messages)
  {
    for (const auto & [camera, seconds] : messages) {
      cameras_[camera]->publish(*stamped<Image>("depth" + std::to_string(camera + 1), seconds));
    }
    for (int i = 0; i < 20; ++i) {
      rclcpp::spin_some(node_);
    }
  }

  rclcpp::Node::SharedPtr node_ = std::make_shared<rclcpp::Node>("node2");
  std::vector<Set> sets_;
  message_filters::Subscriber<Image, rclcpp::Node> subs_[3];
  std::shared_ptr<message_filters::Synchronizer<ThreeImages>> sync_;
  rclcpp::Publisher<Image>::SharedPtr cameras_[3] = {node_->create_publisher<Image>("depth1", 10),
    node_->create_publisher<Image>("depth2", 10), node_->create_publisher<Image>("depth3", 10)};
};

// Close stamps form one set in stream order, whatever order they come in; a stream too far
// behind loses its message.
TEST_F(ThreeStreams, SetsInStreamOrderAndOneStreamTooFarBehind)
{
  send({{2, 3.0}, {0, 3.0}, {1, 3.0}});
  EXPECT_EQ(sets_, (std::vector<Set>{{"depth1@3000", "depth2@3000", "depth3@3000"}}));
  sets_.clear();
  send({{0, 4.0}, {1, 12.0}, {2, 12.5}});
  EXPECT_TRUE(sets_.empty());
  send({{0, 12.2}, {0, 24.0}, {1, 24.0}, {2, 24.0}});
  ASSERT_FALSE(sets_.empty());
  EXPECT_EQ(sets_.front(), (Set{"depth1@12200", "depth2@12000", "depth3@12500"}));
}

}  // namespace
