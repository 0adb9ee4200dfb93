#include "rclcpp/detail/node_core.hpp"

#include <algorithm>
#include <utility>

namespace rclcpp
{
namespace detail
{

NodeCore::NodeCore(std::string name, std::string namespace_, Context::SharedPtr context)
: name_(std::move(name)),
  namespace_name_(std::move(namespace_)),
  fully_qualified_name_(namespace_name_ == "/" ? "/" + name_ : namespace_name_ + "/" + name_),
  context_(std::move(context))
{
}

void NodeCore::add_executable(std::weak_ptr<Executable> executable)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    executables_.push_back(std::move(executable));
  }
  // Work may have arrived before the entity was listed (transient-local history).
  notify();
}

std::vector<std::shared_ptr<Executable>> NodeCore::executables()
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::shared_ptr<Executable>> live;
  live.reserve(executables_.size());
  executables_.erase(
    std::remove_if(executables_.begin(), executables_.end(),
    [&live](const std::weak_ptr<Executable> & weak) {
      auto executable = weak.lock();
      if (!executable) {
        return true;
      }
      live.push_back(std::move(executable));
      return false;
    }),
    executables_.end());
  return live;
}

void NodeCore::notify()
{
  std::shared_ptr<Waker> waker;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waker = executor_waker_;
  }
  if (waker) {
    waker->wake();
  }
}

bool NodeCore::attach_executor(std::shared_ptr<Waker> executor_waker)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (executor_waker_) {
    return false;
  }
  executor_waker_ = std::move(executor_waker);
  return true;
}

void NodeCore::detach_executor()
{
  std::lock_guard<std::mutex> lock(mutex_);
  executor_waker_.reset();
}

}  // namespace detail
}  // namespace rclcpp
