// Time and Duration: message conversion (negative spans included), arithmetic and clock kinds.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

#include "rclcpp/clock.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/time.hpp"

namespace
{

TEST(Time, MessageRoundTripAndClockKind)
{
  builtin_interfaces::msg::Time stamp;
  stamp.sec = 1700000000;
  stamp.nanosec = 123456789;
  const rclcpp::Time time(stamp);
  EXPECT_EQ(time.get_clock_type(), RCL_ROS_TIME);
  EXPECT_EQ(time.nanoseconds(), 1700000000123456789LL);
  const builtin_interfaces::msg::Time back = time;
  EXPECT_EQ(back.sec, stamp.sec);
  EXPECT_EQ(back.nanosec, stamp.nanosec);
  EXPECT_THROW(rclcpp::Time(-1, 0), std::runtime_error);

  const rclcpp::Time now = rclcpp::Clock(RCL_ROS_TIME).now();
  EXPECT_EQ(now.get_clock_type(), RCL_ROS_TIME);
  EXPECT_GT(now.seconds(), 1.6e9) << "ROS time follows the system clock";
}

TEST(Time, NegativeDurationsKeepNanosecondsPositive)
{
  const builtin_interfaces::msg::Duration message = rclcpp::Duration::from_nanoseconds(-1500000000);
  EXPECT_EQ(message.sec, -2);
  EXPECT_EQ(message.nanosec, 500000000u);
  EXPECT_EQ(rclcpp::Duration(message).nanoseconds(), -1500000000);
}

TEST(Time, ArithmeticAndComparison)
{
  const rclcpp::Time a(10, 0, RCL_ROS_TIME);
  const rclcpp::Time b(15, 500000000, RCL_ROS_TIME);
  EXPECT_EQ((b - a).nanoseconds(), 5500000000LL);
  EXPECT_EQ(a + rclcpp::Duration(5, 500000000), b);
  EXPECT_TRUE((b - a) > rclcpp::Duration(5, 0));
  EXPECT_EQ(((b - a) * 1.1).nanoseconds(), 6050000000LL);
  EXPECT_EQ(rclcpp::Duration(std::chrono::milliseconds(250)).seconds(), 0.25);
  EXPECT_THROW((void)(a < rclcpp::Time(1, 0, RCL_SYSTEM_TIME)), std::runtime_error);
  EXPECT_THROW((void)(a - rclcpp::Time(1, 0, RCL_STEADY_TIME)), std::runtime_error);
  EXPECT_THROW(rclcpp::Duration::max() + rclcpp::Duration::max() * 1e9, std::overflow_error);
}

}  // namespace
