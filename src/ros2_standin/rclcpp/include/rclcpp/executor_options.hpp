// Options of an executor.
#ifndef RCLCPP__EXECUTOR_OPTIONS_HPP_
#define RCLCPP__EXECUTOR_OPTIONS_HPP_

#include "rclcpp/context.hpp"

namespace rclcpp
{

struct ExecutorOptions
{
  ExecutorOptions()
  : context(contexts::get_global_default_context()) {}

  Context::SharedPtr context;
};

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTOR_OPTIONS_HPP_
