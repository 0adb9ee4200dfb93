// The generated types as node code relies on them: defaults, constant types and bounds.
#include <gtest/gtest.h>

#include <action_msgs/msg/goal_status.hpp>
#include <rcl_interfaces/msg/parameter_descriptor.hpp>
#include <tf2_msgs/msg/tf_message.hpp>
#include <vantrel_interfaces/srv/arm_grab.hpp>
#include <vantrel_interfaces/srv/arm_move_joints.hpp>
#include <vantrel_interfaces/srv/arm_release.hpp>
#include <visualization_msgs/msg/marker.hpp>

#include <array>
#include <stdexcept>
#include <type_traits>

namespace
{

TEST(RosTypes, DefaultsConstantsAndBounds)
{
  tf2_msgs::msg::TFMessage tf;
  tf.transforms.resize(1);
  EXPECT_EQ(tf.transforms[0].transform.rotation.w, 1.0);
  // Constants keep their declared types, so that comparisons with message fields do not widen.
  static_assert(std::is_same_v<decltype(visualization_msgs::msg::Marker::CUBE), const int32_t>);
  static_assert(std::is_same_v<decltype(action_msgs::msg::GoalStatus::STATUS_ABORTED), const int8_t>);
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  descriptor.integer_range.resize(1);
  EXPECT_THROW(descriptor.integer_range.resize(2), std::length_error);

  using namespace vantrel_interfaces::srv;
  const std::array<double, 7> identity{0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0};
  EXPECT_EQ(ArmMoveJoints::Request().pose, identity);
  EXPECT_EQ(ArmGrab::Request().obb_pose, identity);
  EXPECT_EQ(ArmRelease::Request().release_pose, identity);
}

}  // namespace
