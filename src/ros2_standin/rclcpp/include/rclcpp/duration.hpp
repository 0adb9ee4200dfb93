// A signed time span with nanosecond resolution.
#ifndef RCLCPP__DURATION_HPP_
#define RCLCPP__DURATION_HPP_

#include <chrono>
#include <cstdint>

#include "builtin_interfaces/msg/duration.hpp"

namespace rclcpp
{

class Duration
{
public:
  Duration(int32_t seconds, uint32_t nanoseconds);

  explicit Duration(std::chrono::nanoseconds nanoseconds);

  template<class Rep, class Period>
  Duration(const std::chrono::duration<Rep, Period> & duration)  // NOLINT: implicit as upstream
  : Duration(std::chrono::duration_cast<std::chrono::nanoseconds>(duration)) {}

  Duration(const builtin_interfaces::msg::Duration & duration_msg);  // NOLINT: implicit as upstream

  operator builtin_interfaces::msg::Duration() const;

  bool operator==(const Duration & rhs) const {return nanoseconds_ == rhs.nanoseconds_;}
  bool operator!=(const Duration & rhs) const {return nanoseconds_ != rhs.nanoseconds_;}
  bool operator<(const Duration & rhs) const {return nanoseconds_ < rhs.nanoseconds_;}
  bool operator<=(const Duration & rhs) const {return nanoseconds_ <= rhs.nanoseconds_;}
  bool operator>(const Duration & rhs) const {return nanoseconds_ > rhs.nanoseconds_;}
  bool operator>=(const Duration & rhs) const {return nanoseconds_ >= rhs.nanoseconds_;}

  // Throw std::overflow_error when the result does not fit in 64-bit nanoseconds.
  Duration operator+(const Duration & rhs) const;
  Duration operator-(const Duration & rhs) const;
  Duration operator*(double scale) const;

  // The largest duration a message can carry.
  static Duration max();
  static Duration from_seconds(double seconds);
  static Duration from_nanoseconds(int64_t nanoseconds);

  int64_t nanoseconds() const {return nanoseconds_;}
  double seconds() const {return static_cast<double>(nanoseconds_) * 1e-9;}

private:
  int64_t nanoseconds_;
};

}  // namespace rclcpp

#endif  // RCLCPP__DURATION_HPP_
