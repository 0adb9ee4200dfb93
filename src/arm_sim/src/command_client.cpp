#include "arm_sim/command_client.hpp"

namespace arm_sim
{

CommandClient::CommandClient(const rclcpp::Node::SharedPtr & node, const CommandNames & names)
: move_joints_(node->create_client<ArmMoveJoints>(names.move_joints)),
  grab_(node->create_client<ArmGrab>(names.grab)),
  release_(node->create_client<ArmRelease>(names.release)),
  move_to_goal_(node->create_publisher<std_msgs::msg::Float64MultiArray>(
      names.move_to_goal, rclcpp::QoS(10)))
{
}

std::optional<CommandClient::ArmMoveJoints::Response> CommandClient::moveJoints(
  const ArmMoveJoints::Request & request, std::chrono::milliseconds timeout)
{
  return call(*move_joints_, request, timeout);
}

std::optional<CommandClient::ArmGrab::Response> CommandClient::grab(
  const ArmGrab::Request & request, std::chrono::milliseconds timeout)
{
  return call(*grab_, request, timeout);
}

std::optional<CommandClient::ArmRelease::Response> CommandClient::release(
  const ArmRelease::Request & request, std::chrono::milliseconds timeout)
{
  return call(*release_, request, timeout);
}

void CommandClient::moveToGoal(const std::vector<double> & joints)
{
  std_msgs::msg::Float64MultiArray message;
  message.data = joints;
  move_to_goal_->publish(message);
}

}  // namespace arm_sim
