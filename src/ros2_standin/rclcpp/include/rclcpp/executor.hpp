// Runs the callbacks of its nodes on the thread that spins it.
#ifndef RCLCPP__EXECUTOR_HPP_
#define RCLCPP__EXECUTOR_HPP_

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/detail/node_core.hpp"
#include "rclcpp/detail/waker.hpp"
#include "rclcpp/executor_options.hpp"

namespace rclcpp
{

class Node;

class Executor
{
public:
  using SharedPtr = std::shared_ptr<Executor>;

  explicit Executor(const ExecutorOptions & options = ExecutorOptions());
  virtual ~Executor();
  Executor(const Executor &) = delete;
  Executor & operator=(const Executor &) = delete;

  // A node is served by one executor at a time; adding it to a second one throws
  // std::runtime_error.
  void add_node(std::shared_ptr<Node> node_ptr, bool notify = true);
  void remove_node(std::shared_ptr<Node> node_ptr, bool notify = true);

  // Runs callbacks until the context shuts down or cancel() is called.
  virtual void spin() = 0;

  // Runs each entity's ready work once (one message, request, response or timer call) and
  // returns without waiting for more; a positive max_duration stops it early.
  virtual void spin_some(std::chrono::nanoseconds max_duration = std::chrono::nanoseconds(0));

  // Adds the node, runs spin_some and removes the node again.
  void spin_node_some(std::shared_ptr<Node> node);

  // Makes spin() return soon, from any thread.
  void cancel();

protected:
  // One pass over every entity of every node; true when something ran.
  bool execute_ready_work(std::chrono::steady_clock::time_point stop_at =
    std::chrono::steady_clock::time_point::max());

  // Waits until an entity has work, a timer is due, the context shuts down or cancel() is called.
  void wait_for_work();

  const Context::SharedPtr context_;
  std::atomic<bool> spinning{false};
  const std::shared_ptr<detail::Waker> waker_ = std::make_shared<detail::Waker>();

private:
  void add_node_core(const std::shared_ptr<detail::NodeCore> & core);
  void remove_node_core(const std::shared_ptr<detail::NodeCore> & core);
  std::vector<std::shared_ptr<detail::NodeCore>> live_nodes();

  std::mutex nodes_mutex_;
  std::vector<std::weak_ptr<detail::NodeCore>> nodes_;
};

namespace executors
{

class SingleThreadedExecutor : public Executor
{
public:
  explicit SingleThreadedExecutor(const ExecutorOptions & options = ExecutorOptions());

  void spin() override;
};

}  // namespace executors
}  // namespace rclcpp

#endif  // RCLCPP__EXECUTOR_HPP_
