// Clocks that read the current time of one kind.
#ifndef RCLCPP__CLOCK_HPP_
#define RCLCPP__CLOCK_HPP_

#include <memory>

#include "rcl/time.h"
#include "rclcpp/time.hpp"

namespace rclcpp
{

class Clock
{
public:
  using SharedPtr = std::shared_ptr<Clock>;

  explicit Clock(rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);

  // ROS time follows the system clock: there is no simulated time source.
  Time now() const;

  rcl_clock_type_t get_clock_type() const {return clock_type_;}

private:
  rcl_clock_type_t clock_type_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CLOCK_HPP_
