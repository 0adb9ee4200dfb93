// Sends the node's commands: the three services and joint goals on "/move_to_goal".
#ifndef ARM_SIM__COMMAND_CLIENT_HPP_
#define ARM_SIM__COMMAND_CLIENT_HPP_

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/float64_multi_array.hpp"
#include "vantrel_interfaces/srv/arm_grab.hpp"
#include "vantrel_interfaces/srv/arm_move_joints.hpp"
#include "vantrel_interfaces/srv/arm_release.hpp"

namespace arm_sim
{

struct CommandNames
{
  std::string move_joints = "/arm_move_joints";
  std::string grab = "/arm_grab";
  std::string release = "/arm_release";
  std::string move_to_goal = "/move_to_goal";
};

class CommandClient
{
public:
  using ArmMoveJoints = vantrel_interfaces::srv::ArmMoveJoints;
  using ArmGrab = vantrel_interfaces::srv::ArmGrab;
  using ArmRelease = vantrel_interfaces::srv::ArmRelease;

  // Another thread spins the node while a call waits.
  explicit CommandClient(const rclcpp::Node::SharedPtr & node, const CommandNames & names = {});

  // Each call waits at most `timeout` for the service and again for its answer; empty when
  // either did not come.
  std::optional<ArmMoveJoints::Response> moveJoints(
    const ArmMoveJoints::Request & request, std::chrono::milliseconds timeout);
  std::optional<ArmGrab::Response> grab(
    const ArmGrab::Request & request, std::chrono::milliseconds timeout);
  std::optional<ArmRelease::Response> release(
    const ArmRelease::Request & request, std::chrono::milliseconds timeout);

  // The topic has no answer; the node's reaction shows in its other outputs.
  void moveToGoal(const std::vector<double> & joints);

private:
  template<typename ServiceT>
  static std::optional<typename ServiceT::Response> call(
    rclcpp::Client<ServiceT> & client, const typename ServiceT::Request & request,
    std::chrono::milliseconds timeout)
  {
    if (!client.wait_for_service(timeout)) {
      return std::nullopt;
    }
    auto pending = client.async_send_request(
      std::make_shared<typename ServiceT::Request>(request));
    if (pending.wait_for(timeout) != std::future_status::ready) {
      return std::nullopt;
    }
    return *pending.get();
  }

  const rclcpp::Client<ArmMoveJoints>::SharedPtr move_joints_;
  const rclcpp::Client<ArmGrab>::SharedPtr grab_;
  const rclcpp::Client<ArmRelease>::SharedPtr release_;
  const std::shared_ptr<rclcpp::Publisher<std_msgs::msg::Float64MultiArray>> move_to_goal_;
};

}  // namespace arm_sim

#endif  // ARM_SIM__COMMAND_CLIENT_HPP_
