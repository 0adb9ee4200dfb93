#include "rclcpp_action/server.hpp"

namespace rclcpp_action
{
namespace detail
{

bool is_terminal(int8_t status)
{
  return status == GoalStatus::STATUS_SUCCEEDED || status == GoalStatus::STATUS_CANCELED ||
         status == GoalStatus::STATUS_ABORTED;
}

bool transition_allowed(int8_t from, int8_t to)
{
  switch (from) {
    case GoalStatus::STATUS_ACCEPTED:
      return to == GoalStatus::STATUS_EXECUTING || to == GoalStatus::STATUS_CANCELING;
    case GoalStatus::STATUS_EXECUTING:
      return to == GoalStatus::STATUS_CANCELING || to == GoalStatus::STATUS_SUCCEEDED ||
             to == GoalStatus::STATUS_ABORTED;
    case GoalStatus::STATUS_CANCELING:
      return to == GoalStatus::STATUS_SUCCEEDED || to == GoalStatus::STATUS_ABORTED ||
             to == GoalStatus::STATUS_CANCELED;
    default:
      return false;
  }
}

}  // namespace detail
}  // namespace rclcpp_action
