// A point in time of one clock kind, with nanosecond resolution.
#ifndef RCLCPP__TIME_HPP_
#define RCLCPP__TIME_HPP_

#include <cstdint>

#include "builtin_interfaces/msg/time.hpp"
#include "rcl/time.h"
#include "rclcpp/duration.hpp"

namespace rclcpp
{

class Time
{
public:
  // Throws std::runtime_error for a negative time.
  Time(int32_t seconds, uint32_t nanoseconds, rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);
  explicit Time(int64_t nanoseconds = 0, rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);
  Time(const builtin_interfaces::msg::Time & time_msg,  // NOLINT: implicit as upstream
    rcl_clock_type_t clock_type = RCL_ROS_TIME);

  operator builtin_interfaces::msg::Time() const;

  // Comparing or subtracting times of different clock kinds throws std::runtime_error.
  bool operator==(const Time & rhs) const;
  bool operator!=(const Time & rhs) const;
  bool operator<(const Time & rhs) const;
  bool operator<=(const Time & rhs) const;
  bool operator>(const Time & rhs) const;
  bool operator>=(const Time & rhs) const;
  Time operator+(const Duration & rhs) const;
  Time operator-(const Duration & rhs) const;
  Duration operator-(const Time & rhs) const;
  Time & operator+=(const Duration & rhs);
  Time & operator-=(const Duration & rhs);

  int64_t nanoseconds() const {return nanoseconds_;}
  double seconds() const {return static_cast<double>(nanoseconds_) * 1e-9;}
  rcl_clock_type_t get_clock_type() const {return clock_type_;}

private:
  void require_same_clock(const Time & rhs, const char * what) const;

  int64_t nanoseconds_;
  rcl_clock_type_t clock_type_;
};

Time operator+(const Duration & lhs, const Time & rhs);

}  // namespace rclcpp

#endif  // RCLCPP__TIME_HPP_
