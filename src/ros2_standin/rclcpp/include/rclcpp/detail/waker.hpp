// A wake-up flag that one thread waits on and any thread raises.
#ifndef RCLCPP__DETAIL__WAKER_HPP_
#define RCLCPP__DETAIL__WAKER_HPP_

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace rclcpp
{
namespace detail
{

class Waker
{
public:
  // Raises the flag and wakes the waiter.
  void wake();

  // Waits until the flag is raised or the deadline passes, then lowers the flag.
  void wait_until(std::chrono::steady_clock::time_point deadline);

private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool raised_ = false;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__WAKER_HPP_
