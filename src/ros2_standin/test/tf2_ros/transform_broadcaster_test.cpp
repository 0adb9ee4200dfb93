// The transform broadcaster publishes on "/tf" with KEEP_LAST 100, reliable, volatile, one
// message per call.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/transform_broadcaster.h"

#include "../support/ros_test_support.hpp"

namespace
{

using geometry_msgs::msg::TransformStamped;

class Broadcaster : public RosTest {};

TransformStamped link(const std::string & child, double z)
{
  TransformStamped transform;
  transform.header.frame_id = "base_link";
  transform.child_frame_id = child;
  transform.transform.translation.z = z;
  return transform;
}

TEST_F(Broadcaster, SendsOneOrManyTransformsPerMessageWithItsQualityOfService)
{
  auto node = std::make_shared<rclcpp::Node>("node2");
  std::vector<tf2_msgs::msg::TFMessage> received;
  auto subscription = node->create_subscription<tf2_msgs::msg::TFMessage>("/tf", 100,
      [&received](const tf2_msgs::msg::TFMessage & message) {received.push_back(message);});
  tf2_ros::TransformBroadcaster broadcaster(node);
  const auto publishers = node->get_publishers_info_by_topic("/tf");
  ASSERT_EQ(publishers.size(), 1u);
  EXPECT_EQ(publishers[0].topic_type(), "tf2_msgs/msg/TFMessage");
  EXPECT_EQ(publishers[0].qos_profile(), rclcpp::QoS(rclcpp::KeepLast(100)).reliable().durability_volatile());

  broadcaster.sendTransform(link("link1", 0.1));
  broadcaster.sendTransform({link("link1", 0.1), link("link2", 0.2), link("link3", 0.3)});
  spin_until(node, [&received] {return received.size() == 2;});
  ASSERT_EQ(received.size(), 2u);
  ASSERT_EQ(received[0].transforms.size(), 1u);
  EXPECT_EQ(received[0].transforms[0].child_frame_id, "link1");
  ASSERT_EQ(received[1].transforms.size(), 3u);
  EXPECT_EQ(received[1].transforms[2].child_frame_id, "link3");
  EXPECT_EQ(received[1].transforms[2].transform.translation.z, 0.3);
}

}  // namespace
