#include "rclcpp/executor.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "rclcpp/executors.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp
{

namespace
{

// Clears the spinning flag however the spin ends.
class SpinningGuard
{
public:
  SpinningGuard(std::atomic<bool> & spinning, const char * what)
  : spinning_(spinning)
  {
    if (spinning_.exchange(true)) {
      throw std::runtime_error(std::string(what) + "() called while already spinning");
    }
  }
  ~SpinningGuard() {spinning_.store(false);}
  SpinningGuard(const SpinningGuard &) = delete;
  SpinningGuard & operator=(const SpinningGuard &) = delete;

private:
  std::atomic<bool> & spinning_;
};

}  // namespace

Executor::Executor(const ExecutorOptions & options)
: context_(options.context ? options.context : contexts::get_global_default_context())
{
}

Executor::~Executor()
{
  for (const auto & core : live_nodes()) {
    core->detach_executor();
  }
}

void Executor::add_node(std::shared_ptr<Node> node_ptr, bool)
{
  add_node_core(node_ptr->get_node_core());
}

void Executor::remove_node(std::shared_ptr<Node> node_ptr, bool)
{
  remove_node_core(node_ptr->get_node_core());
}

void Executor::add_node_core(const std::shared_ptr<detail::NodeCore> & core)
{
  if (!core->attach_executor(waker_)) {
    throw std::runtime_error(
            "Node '" + core->fully_qualified_name() + "' has already been added to an executor.");
  }
  {
    std::lock_guard<std::mutex> lock(nodes_mutex_);
    nodes_.push_back(core);
  }
  waker_->wake();
}

void Executor::remove_node_core(const std::shared_ptr<detail::NodeCore> & core)
{
  {
    std::lock_guard<std::mutex> lock(nodes_mutex_);
    auto found = std::find_if(nodes_.begin(), nodes_.end(),
        [&core](const std::weak_ptr<detail::NodeCore> & weak) {return weak.lock() == core;});
    if (found == nodes_.end()) {
      throw std::runtime_error(
              "Node '" + core->fully_qualified_name() + "' needs to be associated with this executor.");
    }
    nodes_.erase(found);
  }
  core->detach_executor();
}

std::vector<std::shared_ptr<detail::NodeCore>> Executor::live_nodes()
{
  std::lock_guard<std::mutex> lock(nodes_mutex_);
  std::vector<std::shared_ptr<detail::NodeCore>> live;
  for (const auto & weak : nodes_) {
    if (auto core = weak.lock()) {
      live.push_back(std::move(core));
    }
  }
  return live;
}

bool Executor::execute_ready_work(std::chrono::steady_clock::time_point stop_at)
{
  bool ran = false;
  for (const auto & core : live_nodes()) {
    for (const auto & executable : core->executables()) {
      if (!rclcpp::ok(context_) || !spinning.load() ||
        std::chrono::steady_clock::now() >= stop_at)
      {
        return ran;
      }
      ran = executable->execute_one() || ran;
    }
  }
  return ran;
}

void Executor::wait_for_work()
{
  auto deadline = std::chrono::steady_clock::time_point::max();
  for (const auto & core : live_nodes()) {
    for (const auto & executable : core->executables()) {
      deadline = std::min(deadline, executable->next_deadline());
    }
  }
  waker_->wait_until(deadline);
}

void Executor::spin_some(std::chrono::nanoseconds max_duration)
{
  SpinningGuard guard(spinning, "spin_some");
  const auto stop_at = max_duration > std::chrono::nanoseconds(0) ?
    std::chrono::steady_clock::now() + max_duration : std::chrono::steady_clock::time_point::max();
  execute_ready_work(stop_at);
}

void Executor::spin_node_some(std::shared_ptr<Node> node)
{
  add_node(node, false);
  try {
    spin_some();
  } catch (...) {
    remove_node(node, false);
    throw;
  }
  remove_node(node, false);
}

void Executor::cancel()
{
  spinning.store(false);
  waker_->wake();
}

namespace executors
{

SingleThreadedExecutor::SingleThreadedExecutor(const ExecutorOptions & options)
: Executor(options)
{
}

void SingleThreadedExecutor::spin()
{
  SpinningGuard guard(spinning, "spin");
  Context::WakeOnShutdown wake_on_shutdown(*context_, *waker_);
  while (rclcpp::ok(context_) && spinning.load()) {
    if (!execute_ready_work()) {
      wait_for_work();
    }
  }
}

}  // namespace executors

namespace
{

ExecutorOptions options_for(const std::shared_ptr<Node> & node_ptr)
{
  ExecutorOptions options;
  options.context = node_ptr->get_node_core()->context();
  return options;
}

}  // namespace

void spin_some(std::shared_ptr<Node> node_ptr)
{
  executors::SingleThreadedExecutor executor(options_for(node_ptr));
  executor.spin_node_some(std::move(node_ptr));
}

void spin(std::shared_ptr<Node> node_ptr)
{
  executors::SingleThreadedExecutor executor(options_for(node_ptr));
  executor.add_node(node_ptr);
  executor.spin();
  executor.remove_node(node_ptr);
}

}  // namespace rclcpp
