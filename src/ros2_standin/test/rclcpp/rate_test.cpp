// WallRate: the sleep and overrun rule, checked on a clock the test moves by hand, and the
// sleep ending at shutdown.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "rclcpp/rate.hpp"
#include "rclcpp/utilities.hpp"

#include "../support/ros_test_support.hpp"

namespace
{

using namespace std::chrono_literals;

// A clock that stands still until the test sets it.
struct ManualClock
{
  using duration = std::chrono::nanoseconds;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<ManualClock, duration>;
  static constexpr bool is_steady = true;

  static inline std::atomic<int64_t> now_ns{0};
  static time_point now() {return time_point(duration(now_ns.load()));}
  static void set(std::chrono::microseconds t) {now_ns = std::chrono::nanoseconds(t).count();}
};

using ManualRate = rclcpp::GenericRate<ManualClock>;

class RateRule : public RosTest
{
protected:
  void SetUp() override
  {
    RosTest::SetUp();
    ManualClock::set(0us);
  }
};

// A sleep lasts until one period after the reference. An overrun of up to one period keeps the
// phase; a longer one restarts it from now.
TEST_F(RateRule, SleepsToTheNextBoundaryAndOverrunsSkipTheSleep)
{
  ManualRate on_time(10ms);
  ManualClock::set(9800us);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(on_time.sleep());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200us);

  ManualClock::set(0us);
  ManualRate short_overrun(10ms);
  ManualClock::set(15ms);
  EXPECT_FALSE(short_overrun.sleep());
  ManualClock::set(19900us);
  EXPECT_TRUE(short_overrun.sleep()) << "next boundary stays at 20 ms";

  ManualClock::set(0us);
  ManualRate whole_period(10ms);
  ManualClock::set(20ms);
  EXPECT_FALSE(whole_period.sleep());
  EXPECT_FALSE(whole_period.sleep()) << "the boundary at 20 ms is due at once";
  ManualClock::set(29900us);
  EXPECT_TRUE(whole_period.sleep());

  ManualClock::set(0us);
  ManualRate long_overrun(10ms);
  ManualClock::set(25ms);
  EXPECT_FALSE(long_overrun.sleep());
  // Reference now 35 ms: the next pass sleeps up to 45 ms rather than catching up at 30 ms.
  ManualClock::set(44900us);
  EXPECT_TRUE(long_overrun.sleep());
  ManualClock::set(54900us);
  EXPECT_TRUE(long_overrun.sleep());
}

TEST_F(RateRule, SleepEndsWhenTheContextShutsDown)
{
  rclcpp::WallRate slow(0.1);
  std::thread stopper([] {
      std::this_thread::sleep_for(30ms);
      rclcpp::shutdown();
    });
  const auto start = std::chrono::steady_clock::now();
  slow.sleep();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  stopper.join();
  EXPECT_FALSE(rclcpp::sleep_for(10s)) << "a sleep after shutdown returns at once";
  rclcpp::init(0, nullptr);
}

}  // namespace
