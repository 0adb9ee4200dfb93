#include "rclcpp/detail/graph_wait.hpp"

namespace rclcpp
{
namespace detail
{

namespace
{

class GraphWakeGuard
{
public:
  GraphWakeGuard(transport::Transport & transport, Waker & waker)
  : transport_(transport), waker_(waker) {transport_.add_graph_waker(waker_);}
  ~GraphWakeGuard() {transport_.remove_graph_waker(waker_);}
  GraphWakeGuard(const GraphWakeGuard &) = delete;
  GraphWakeGuard & operator=(const GraphWakeGuard &) = delete;

private:
  transport::Transport & transport_;
  Waker & waker_;
};

}  // namespace

bool wait_for_graph(
  transport::Transport & transport, Context & context, std::chrono::nanoseconds timeout,
  const std::function<bool()> & ready)
{
  if (ready()) {
    return true;
  }
  if (timeout == std::chrono::nanoseconds(0)) {
    return false;
  }
  const auto deadline = timeout < std::chrono::nanoseconds(0) ?
    std::chrono::steady_clock::time_point::max() : std::chrono::steady_clock::now() + timeout;
  Waker waker;
  GraphWakeGuard graph_guard(transport, waker);
  Context::WakeOnShutdown shutdown_guard(context, waker);
  for (;;) {
    if (ready()) {
      return true;
    }
    if (!context.is_valid() || std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    waker.wait_until(deadline);
  }
}

}  // namespace detail
}  // namespace rclcpp
