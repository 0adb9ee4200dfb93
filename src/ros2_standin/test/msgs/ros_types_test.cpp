// The generated types used the way node code uses them, and the field layout of the types that
// no other test carries over the wire.
#include <gtest/gtest.h>

#include <action_msgs/msg/goal_status.hpp>
#include <control_msgs/action/follow_joint_trajectory.hpp>
#include <geometry_msgs/msg/pose.hpp>
#include <rcl_interfaces/msg/parameter_descriptor.hpp>
#include <rosidl_typesupport_introspection_cpp/message_introspection.hpp>
#include <rosidl_typesupport_introspection_cpp/message_type_support_decl.hpp>
#include <tf2_msgs/msg/tf_message.hpp>
#include <vantrel_interfaces/srv/arm_grab.hpp>
#include <vantrel_interfaces/srv/arm_move_joints.hpp>
#include <vantrel_interfaces/srv/arm_release.hpp>
#include <visualization_msgs/msg/marker.hpp>

#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace
{

using Names = std::vector<std::string>;

Names memberNames(const rosidl_typesupport_introspection_cpp::MessageMembers * members)
{
  Names names;
  for (uint32_t i = 0; i < members->member_count_; ++i) {
    names.emplace_back(members->members_[i].name_);
  }
  return names;
}

template<typename Message>
Names fieldNames()
{
  const auto * handle = rosidl_typesupport_introspection_cpp::get_message_type_support_handle<Message>();
  return memberNames(static_cast<const rosidl_typesupport_introspection_cpp::MessageMembers *>(handle->data));
}

const std::array<double, 7> kIdentityPose{0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0};

}  // namespace

TEST(RosTypes, DefaultsConstantsAndBounds)
{
  EXPECT_EQ(geometry_msgs::msg::Pose().orientation.w, 1.0);
  tf2_msgs::msg::TFMessage tf;
  tf.transforms.resize(1);
  EXPECT_EQ(tf.transforms[0].transform.rotation.w, 1.0);

  // Constants keep their declared types, so that comparisons with message fields do not widen.
  using visualization_msgs::msg::Marker;
  static_assert(std::is_same_v<decltype(Marker::CUBE), const int32_t>);
  EXPECT_EQ(Marker::CUBE, 1);
  static_assert(std::is_same_v<decltype(action_msgs::msg::GoalStatus::STATUS_ABORTED), const int8_t>);

  rcl_interfaces::msg::ParameterDescriptor descriptor;
  descriptor.integer_range.resize(1);
  EXPECT_THROW(descriptor.integer_range.resize(2), std::length_error);
}

TEST(RosTypes, ServicesHaveTheHandlersFields)
{
  using vantrel_interfaces::srv::ArmGrab;
  using vantrel_interfaces::srv::ArmMoveJoints;
  using vantrel_interfaces::srv::ArmRelease;

  auto move = std::make_shared<ArmMoveJoints::Request>();
  static_assert(std::is_same_v<decltype(move->joints), std_msgs::msg::Float64MultiArray>);
  EXPECT_EQ(move->pose, kIdentityPose);
  ArmGrab::Request::SharedPtr grab = std::make_shared<ArmGrab::Request>();
  EXPECT_EQ(grab->target_pose, kIdentityPose);
  EXPECT_EQ(grab->obb_pose, kIdentityPose);

  auto release = std::make_shared<ArmRelease::Request>();
  EXPECT_EQ(release->release_pose, kIdentityPose);
  EXPECT_EQ(
    fieldNames<ArmRelease::Request>(),
    (Names{"cmd_type", "release_pose", "release_joints", "reserved_pose", "reserved_joints"}));
  for (const auto & names : {fieldNames<ArmMoveJoints::Response>(), fieldNames<ArmGrab::Response>(),
      fieldNames<ArmRelease::Response>()})
  {
    EXPECT_EQ(names, (Names{"code", "message"}));
  }
}

TEST(RosTypes, ActionHasGoalResultFeedbackAndImplTypes)
{
  using Action = control_msgs::action::FollowJointTrajectory;
  Action::Goal goal;
  goal.trajectory.joint_names = {"joint1", "joint2"};
  goal.trajectory.points.resize(1);
  goal.trajectory.points[0].time_from_start.nanosec = 299999999u;
  EXPECT_TRUE(goal.trajectory.points[0].effort.empty());
  EXPECT_EQ(Action::Result().error_code, Action::Result::SUCCESSFUL);
  EXPECT_TRUE(std::make_shared<const Action::Feedback>()->joint_names.empty());

  static_assert(std::is_same_v<Action::Impl::CancelGoalService, action_msgs::srv::CancelGoal>);
  static_assert(std::is_same_v<Action::Impl::GoalStatusMessage, action_msgs::msg::GoalStatusArray>);
  Action::Impl::SendGoalService::Request send_goal;
  send_goal.goal = goal;
  static_assert(std::is_same_v<decltype(send_goal.goal_id.uuid), std::array<uint8_t, 16>>);
  EXPECT_FALSE(Action::Impl::SendGoalService::Response().accepted);
  EXPECT_EQ(Action::Impl::GetResultService::Response().status,
    action_msgs::msg::GoalStatus::STATUS_UNKNOWN);
  Action::Impl::FeedbackMessage feedback_message;
  feedback_message.feedback.joint_names = {"joint1"};
}
