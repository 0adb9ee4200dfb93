#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>

#include "rclcpp/clock.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/time.hpp"

namespace rclcpp
{

namespace
{

constexpr int64_t kNanosPerSecond = 1000000000LL;

int64_t checked_add(int64_t a, int64_t b)
{
  int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) {
    throw std::overflow_error("addition leads to int64_t overflow");
  }
  return sum;
}

int64_t checked_subtract(int64_t a, int64_t b)
{
  int64_t difference = 0;
  if (__builtin_sub_overflow(a, b, &difference)) {
    throw std::overflow_error("subtraction leads to int64_t overflow");
  }
  return difference;
}

}  // namespace

Duration::Duration(int32_t seconds, uint32_t nanoseconds)
: nanoseconds_(static_cast<int64_t>(seconds) * kNanosPerSecond + nanoseconds)
{
}

Duration::Duration(std::chrono::nanoseconds nanoseconds)
: nanoseconds_(nanoseconds.count())
{
}

Duration::Duration(const builtin_interfaces::msg::Duration & duration_msg)
: Duration(duration_msg.sec, duration_msg.nanosec)
{
}

Duration::operator builtin_interfaces::msg::Duration() const
{
  builtin_interfaces::msg::Duration msg;
  if (*this >= max()) {
    msg.sec = std::numeric_limits<int32_t>::max();
    msg.nanosec = kNanosPerSecond - 1;
    return msg;
  }
  if (nanoseconds_ < static_cast<int64_t>(std::numeric_limits<int32_t>::min()) * kNanosPerSecond) {
    msg.sec = std::numeric_limits<int32_t>::min();
    msg.nanosec = 0;
    return msg;
  }
  const auto result = std::lldiv(nanoseconds_, kNanosPerSecond);
  if (result.rem >= 0) {
    msg.sec = static_cast<int32_t>(result.quot);
    msg.nanosec = static_cast<uint32_t>(result.rem);
  } else {
    msg.sec = static_cast<int32_t>(result.quot - 1);
    msg.nanosec = static_cast<uint32_t>(kNanosPerSecond + result.rem);
  }
  return msg;
}

Duration Duration::operator+(const Duration & rhs) const
{
  return from_nanoseconds(checked_add(nanoseconds_, rhs.nanoseconds_));
}

Duration Duration::operator-(const Duration & rhs) const
{
  return from_nanoseconds(checked_subtract(nanoseconds_, rhs.nanoseconds_));
}

Duration Duration::operator*(double scale) const
{
  if (!std::isfinite(scale)) {
    throw std::runtime_error("abnormal scale in rclcpp::Duration");
  }
  const long double scaled = static_cast<long double>(nanoseconds_) * scale;
  if (scaled >= static_cast<long double>(std::numeric_limits<int64_t>::max()) ||
    scaled <= static_cast<long double>(std::numeric_limits<int64_t>::min()))
  {
    throw std::overflow_error("multiplication leads to int64_t overflow");
  }
  return from_nanoseconds(static_cast<int64_t>(scaled));
}

Duration Duration::max()
{
  return Duration(std::numeric_limits<int32_t>::max(), kNanosPerSecond - 1);
}

Duration Duration::from_seconds(double seconds)
{
  return from_nanoseconds(static_cast<int64_t>(seconds * 1e9));
}

Duration Duration::from_nanoseconds(int64_t nanoseconds)
{
  return Duration(std::chrono::nanoseconds(nanoseconds));
}

Time::Time(int32_t seconds, uint32_t nanoseconds, rcl_clock_type_t clock_type)
: clock_type_(clock_type)
{
  if (seconds < 0) {
    throw std::runtime_error("cannot store a negative time point in rclcpp::Time");
  }
  nanoseconds_ = static_cast<int64_t>(seconds) * kNanosPerSecond + nanoseconds;
}

Time::Time(int64_t nanoseconds, rcl_clock_type_t clock_type)
: nanoseconds_(nanoseconds), clock_type_(clock_type)
{
}

Time::Time(const builtin_interfaces::msg::Time & time_msg, rcl_clock_type_t clock_type)
: Time(time_msg.sec, time_msg.nanosec, clock_type)
{
}

Time::operator builtin_interfaces::msg::Time() const
{
  builtin_interfaces::msg::Time msg;
  const auto result = std::lldiv(nanoseconds_, kNanosPerSecond);
  msg.sec = static_cast<int32_t>(result.rem >= 0 ? result.quot : result.quot - 1);
  msg.nanosec = static_cast<uint32_t>(result.rem >= 0 ? result.rem : kNanosPerSecond + result.rem);
  return msg;
}

void Time::require_same_clock(const Time & rhs, const char * what) const
{
  if (clock_type_ != rhs.clock_type_) {
    throw std::runtime_error(std::string("can't ") + what + " times with different time sources");
  }
}

bool Time::operator==(const Time & rhs) const
{
  require_same_clock(rhs, "compare");
  return nanoseconds_ == rhs.nanoseconds_;
}

bool Time::operator!=(const Time & rhs) const {return !(*this == rhs);}

bool Time::operator<(const Time & rhs) const
{
  require_same_clock(rhs, "compare");
  return nanoseconds_ < rhs.nanoseconds_;
}

bool Time::operator<=(const Time & rhs) const {return !(rhs < *this);}
bool Time::operator>(const Time & rhs) const {return rhs < *this;}
bool Time::operator>=(const Time & rhs) const {return !(*this < rhs);}

Time Time::operator+(const Duration & rhs) const
{
  return Time(checked_add(nanoseconds_, rhs.nanoseconds()), clock_type_);
}

Time Time::operator-(const Duration & rhs) const
{
  return Time(checked_subtract(nanoseconds_, rhs.nanoseconds()), clock_type_);
}

Duration Time::operator-(const Time & rhs) const
{
  require_same_clock(rhs, "subtract");
  return Duration::from_nanoseconds(checked_subtract(nanoseconds_, rhs.nanoseconds_));
}

Time & Time::operator+=(const Duration & rhs) {return *this = *this + rhs;}
Time & Time::operator-=(const Duration & rhs) {return *this = *this - rhs;}

Time operator+(const Duration & lhs, const Time & rhs) {return rhs + lhs;}

Clock::Clock(rcl_clock_type_t clock_type)
: clock_type_(clock_type)
{
}

Time Clock::now() const
{
  const auto since_epoch = clock_type_ == RCL_STEADY_TIME ?
    std::chrono::steady_clock::now().time_since_epoch() :
    std::chrono::system_clock::now().time_since_epoch();
  return Time(std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count(),
           clock_type_);
}

}  // namespace rclcpp
