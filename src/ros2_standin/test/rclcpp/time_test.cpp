// Time and Duration: message conversion (negative spans included), clock kinds and arithmetic;
// WallRate: the sleep and overrun rule, checked on a clock the test moves by hand. (The node's
// loop ending at shutdown is the signal test's.)
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <utility>
#include <vector>

#include "rclcpp/clock.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/rate.hpp"
#include "rclcpp/time.hpp"

#include "../support/ros_test_support.hpp"

namespace
{

using namespace std::chrono_literals;

// Messages keep nanoseconds positive also for negative spans; times of different clocks do not
// mix; arithmetic that overflows throws.
TEST(Time, MessagesClockKindsAndArithmetic)
{
  builtin_interfaces::msg::Time stamp;
  stamp.sec = 1700000000;
  stamp.nanosec = 123456789;
  const rclcpp::Time time(stamp);
  EXPECT_EQ(time.nanoseconds(), 1700000000123456789LL);
  const builtin_interfaces::msg::Time back = time;
  EXPECT_EQ(back, stamp);
  EXPECT_THROW(rclcpp::Time(-1, 0), std::runtime_error);
  const builtin_interfaces::msg::Duration span = rclcpp::Duration::from_nanoseconds(-1500000000);
  EXPECT_EQ(span.sec, -2);
  EXPECT_EQ(span.nanosec, 500000000u);
  EXPECT_EQ(rclcpp::Duration(span).nanoseconds(), -1500000000);

  EXPECT_GT(rclcpp::Clock(RCL_ROS_TIME).now().seconds(), 1.6e9) << "ROS time follows the system clock";
  const rclcpp::Time a(10, 0, RCL_ROS_TIME);
  const rclcpp::Time b(15, 500000000, RCL_ROS_TIME);
  EXPECT_EQ((b - a).nanoseconds(), 5500000000LL);
  EXPECT_EQ(a + rclcpp::Duration(5, 500000000), b);
  EXPECT_THROW((void)(a < rclcpp::Time(1, 0, RCL_SYSTEM_TIME)), std::runtime_error);
  EXPECT_THROW((void)(a - rclcpp::Time(1, 0, RCL_STEADY_TIME)), std::runtime_error);
  EXPECT_THROW(rclcpp::Duration::max() + rclcpp::Duration::max() * 1e9, std::overflow_error);
}

// A clock that stands still until the test sets it.
struct ManualClock
{
  using duration = std::chrono::nanoseconds;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<ManualClock, duration>;

  static inline std::atomic<int64_t> now_ns{0};
  static time_point now() {return time_point(duration(now_ns.load()));}
  static void set(std::chrono::microseconds t) {now_ns = std::chrono::nanoseconds(t).count();}
};

using ManualRate = rclcpp::GenericRate<ManualClock>;

class RateRule : public RosTest {};

// A sleep lasts until one period after the reference. An overrun of up to one period keeps the
// phase; a longer one restarts it from now. Each row: the clock's time (us) at each sleep, and
// whether that sleep slept (each sleep that does is 100 us or more short of its boundary).
TEST_F(RateRule, SleepsToTheNextBoundaryAndOverrunsSkipTheSleep)
{
  const std::vector<std::pair<int, bool>> cases[] = {
    {{9800, true}},
    {{15000, false}, {19900, true}},  // next boundary stays at 20 ms
    {{20000, false}, {20000, false}, {29900, true}},  // the boundary at 20 ms is due at once
    {{25000, false}, {44900, true}, {54900, true}},  // sleeps up to 45 ms, no catching up at 30
  };
  for (const auto & steps : cases) {
    ManualClock::set(0us);
    ManualRate rate(10ms);
    for (const auto & [now_us, slept] : steps) {
      ManualClock::set(std::chrono::microseconds(now_us));
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(rate.sleep(), slept) << now_us;
      if (slept) {
        EXPECT_GE(std::chrono::steady_clock::now() - start, 100us);
      }
    }
  }
}

}  // namespace
