// The transform broadcaster publishes on "/tf" with KEEP_LAST 100, reliable, volatile, one
// message per call (the node's joint-state tests check what it sends).
#include <gtest/gtest.h>

#include <memory>

#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/transform_broadcaster.h"

#include "../support/ros_test_support.hpp"

namespace
{

class Broadcaster : public RosTest {};

TEST_F(Broadcaster, PublishesOnTfWithItsQualityOfService)
{
  auto node = std::make_shared<rclcpp::Node>("node2");
  tf2_ros::TransformBroadcaster broadcaster(node);
  const auto publishers = node->get_publishers_info_by_topic("/tf");
  ASSERT_EQ(publishers.size(), 1u);
  EXPECT_EQ(publishers[0].topic_type(), "tf2_msgs/msg/TFMessage");
  EXPECT_EQ(publishers[0].qos_profile(), rclcpp::QoS(rclcpp::KeepLast(100)).reliable().durability_volatile());
}

}  // namespace
