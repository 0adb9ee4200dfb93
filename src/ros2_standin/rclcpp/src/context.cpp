#include "rclcpp/context.hpp"

#include "rclcpp/exceptions.hpp"

namespace rclcpp
{

void Context::init(int, char const * const *, const InitOptions &)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (valid_) {
    throw ContextAlreadyInitialized();
  }
  shutdown_reason_.clear();
  valid_ = true;
}

bool Context::is_valid() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return valid_;
}

bool Context::shutdown(const std::string & reason)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (!valid_) {
    return false;
  }
  valid_ = false;
  shutdown_reason_ = reason;
  for (detail::Waker * waker : wakers_) {
    waker->wake();
  }
  return true;
}

std::string Context::shutdown_reason() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return shutdown_reason_;
}

Context::WakeOnShutdown::WakeOnShutdown(Context & context, detail::Waker & waker)
: context_(context), waker_(waker)
{
  std::lock_guard<std::mutex> lock(context_.mutex_);
  context_.wakers_.insert(&waker_);
}

Context::WakeOnShutdown::~WakeOnShutdown()
{
  std::lock_guard<std::mutex> lock(context_.mutex_);
  context_.wakers_.erase(&waker_);
}

namespace contexts
{

Context::SharedPtr get_global_default_context()
{
  static Context::SharedPtr default_context = std::make_shared<Context>();
  return default_context;
}

}  // namespace contexts
}  // namespace rclcpp
