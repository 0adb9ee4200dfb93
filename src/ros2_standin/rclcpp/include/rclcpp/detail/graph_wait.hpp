// Waiting for the graph to reach a state (a service or action server appearing).
#ifndef RCLCPP__DETAIL__GRAPH_WAIT_HPP_
#define RCLCPP__DETAIL__GRAPH_WAIT_HPP_

#include <chrono>
#include <functional>

#include "rclcpp/context.hpp"
#include "rclcpp/transport/transport.hpp"

namespace rclcpp
{
namespace detail
{

// True as soon as `ready` holds. A negative time-out waits without limit, zero only checks.
// False on time-out or when the context shuts down.
bool wait_for_graph(
  transport::Transport & transport, Context & context, std::chrono::nanoseconds timeout,
  const std::function<bool()> & ready);

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__GRAPH_WAIT_HPP_
