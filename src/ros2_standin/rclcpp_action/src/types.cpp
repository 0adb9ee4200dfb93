#include "rclcpp_action/types.hpp"

#include <mutex>
#include <random>

namespace rclcpp_action
{

GoalUUID generate_goal_id()
{
  static std::mutex mutex;
  static std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<int> byte(0, 255);
  GoalUUID goal_id;
  std::lock_guard<std::mutex> lock(mutex);
  for (auto & value : goal_id) {
    value = static_cast<uint8_t>(byte(generator));
  }
  return goal_id;
}

}  // namespace rclcpp_action
