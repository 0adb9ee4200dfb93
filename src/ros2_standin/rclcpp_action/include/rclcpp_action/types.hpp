// Goal identifiers and the status values of goals.
#ifndef RCLCPP_ACTION__TYPES_HPP_
#define RCLCPP_ACTION__TYPES_HPP_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "action_msgs/msg/goal_info.hpp"
#include "action_msgs/msg/goal_status.hpp"

namespace rclcpp_action
{

constexpr size_t UUID_SIZE = 16;
using GoalUUID = std::array<uint8_t, UUID_SIZE>;
using GoalStatus = action_msgs::msg::GoalStatus;
using GoalInfo = action_msgs::msg::GoalInfo;

// A random identifier for a new goal.
GoalUUID generate_goal_id();

}  // namespace rclcpp_action

namespace std
{

template<>
struct hash<rclcpp_action::GoalUUID>
{
  size_t operator()(const rclcpp_action::GoalUUID & uuid) const noexcept
  {
    size_t result = 0;
    for (size_t i = 0; i < uuid.size(); ++i) {
      result = result * 31 + uuid[i];
    }
    return result;
  }
};

}  // namespace std

#endif  // RCLCPP_ACTION__TYPES_HPP_
