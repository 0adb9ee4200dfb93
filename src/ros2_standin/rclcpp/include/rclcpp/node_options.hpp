// Options of a node.
#ifndef RCLCPP__NODE_OPTIONS_HPP_
#define RCLCPP__NODE_OPTIONS_HPP_

#include "rclcpp/context.hpp"

namespace rclcpp
{

class NodeOptions
{
public:
  NodeOptions() = default;

  Context::SharedPtr context() const {return context_;}
  NodeOptions & context(Context::SharedPtr context)
  {
    context_ = std::move(context);
    return *this;
  }

private:
  Context::SharedPtr context_ = contexts::get_global_default_context();
};

}  // namespace rclcpp

#endif  // RCLCPP__NODE_OPTIONS_HPP_
