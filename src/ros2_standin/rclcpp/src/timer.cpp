#include "rclcpp/timer.hpp"

namespace rclcpp
{

TimerBase::TimerBase(std::chrono::nanoseconds period)
: period_(period), next_call_(std::chrono::steady_clock::now() + period)
{
}

std::chrono::nanoseconds TimerBase::time_until_trigger() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return next_call_ - std::chrono::steady_clock::now();
}

std::chrono::steady_clock::time_point TimerBase::next_deadline() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return next_call_;
}

bool TimerBase::execute_one()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (now < next_call_) {
      return false;
    }
    // Calls missed while the thread was busy are skipped, keeping the original phase.
    next_call_ += period_;
    if (next_call_ < now) {
      next_call_ = period_.count() == 0 ? now :
        next_call_ + ((now - next_call_) / period_ + 1) * period_;
    }
  }
  execute_callback();
  return true;
}

}  // namespace rclcpp
