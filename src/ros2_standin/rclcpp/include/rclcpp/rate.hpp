// Loop rates: sleep() keeps a loop at a fixed period.
#ifndef RCLCPP__RATE_HPP_
#define RCLCPP__RATE_HPP_

#include <chrono>
#include <memory>

#include "rclcpp/utilities.hpp"

namespace rclcpp
{

template<class Clock = std::chrono::high_resolution_clock>
class GenericRate
{
public:
  using SharedPtr = std::shared_ptr<GenericRate>;

  explicit GenericRate(double rate)
  : GenericRate(std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double>(1.0 / rate))) {}

  explicit GenericRate(std::chrono::nanoseconds period)
  : period_(period), last_interval_(Clock::now()) {}

  // Sleeps until one period after the previous reference time and moves the reference on by
  // one period. An overrun pass does not sleep (returns false); one that overran by more than a
  // whole period moves the reference to now plus one period. The sleep ends early when the
  // context shuts down.
  bool sleep()
  {
    const auto now = Clock::now();
    auto next_interval = last_interval_ + period_;
    if (now < last_interval_) {
      // The clock went backwards.
      next_interval = now + period_;
    }
    const auto time_to_sleep = next_interval - now;
    last_interval_ += period_;
    if (time_to_sleep <= std::chrono::seconds(0)) {
      if (now > next_interval + period_) {
        last_interval_ = now + period_;
      }
      return false;
    }
    rclcpp::sleep_for(time_to_sleep);
    return true;
  }

  bool is_steady() const {return Clock::is_steady;}

  std::chrono::nanoseconds period() const {return period_;}

private:
  std::chrono::nanoseconds period_;
  std::chrono::time_point<Clock, std::chrono::nanoseconds> last_interval_;
};

using Rate = GenericRate<std::chrono::system_clock>;
using WallRate = GenericRate<std::chrono::steady_clock>;

}  // namespace rclcpp

#endif  // RCLCPP__RATE_HPP_
