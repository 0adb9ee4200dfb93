// What a node shares with its entities and its executor: its names, its context, the entities
// an executor runs, and the wake-up of the executor that serves it.
#ifndef RCLCPP__DETAIL__NODE_CORE_HPP_
#define RCLCPP__DETAIL__NODE_CORE_HPP_

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/detail/waker.hpp"

namespace rclcpp
{
namespace detail
{

// A subscription, service, client or timer as its executor sees it.
class Executable
{
public:
  virtual ~Executable() = default;

  // Runs one unit of ready work on the calling thread; false when nothing was ready.
  virtual bool execute_one() = 0;

  // When this becomes ready without anything arriving (timers); max() for never.
  virtual std::chrono::steady_clock::time_point next_deadline() const
  {
    return std::chrono::steady_clock::time_point::max();
  }
};

class NodeCore
{
public:
  NodeCore(std::string name, std::string namespace_, Context::SharedPtr context);

  const std::string & name() const {return name_;}
  const std::string & namespace_() const {return namespace_name_;}
  const std::string & fully_qualified_name() const {return fully_qualified_name_;}
  const Context::SharedPtr & context() const {return context_;}

  // The node keeps only weak references: an entity lives as long as its owner holds it.
  void add_executable(std::weak_ptr<Executable> executable);
  std::vector<std::shared_ptr<Executable>> executables();

  // Tells the serving executor, if any, that an entity of this node has work.
  void notify();

  // Binds the node to one executor; false when another executor serves it already.
  bool attach_executor(std::shared_ptr<Waker> executor_waker);
  void detach_executor();

private:
  const std::string name_;
  const std::string namespace_name_;
  const std::string fully_qualified_name_;
  const Context::SharedPtr context_;

  std::mutex mutex_;
  std::vector<std::weak_ptr<Executable>> executables_;
  std::shared_ptr<Waker> executor_waker_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__NODE_CORE_HPP_
