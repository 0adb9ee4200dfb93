#include "rclcpp/detail/waker.hpp"

namespace rclcpp
{
namespace detail
{

void Waker::wake()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    raised_ = true;
  }
  condition_.notify_all();
}

void Waker::wait_until(std::chrono::steady_clock::time_point deadline)
{
  std::unique_lock<std::mutex> lock(mutex_);
  if (deadline == std::chrono::steady_clock::time_point::max()) {
    condition_.wait(lock, [this] {return raised_;});
  } else {
    condition_.wait_until(lock, deadline, [this] {return raised_;});
  }
  raised_ = false;
}

}  // namespace detail
}  // namespace rclcpp
