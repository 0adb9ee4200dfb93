#include "rclcpp/context.hpp"

#include <cstdlib>
#include <stdexcept>

#include "dds_transport/dds_transport.hpp"
#include "rclcpp/exceptions.hpp"
#include "ros_arguments.hpp"

namespace rclcpp
{

namespace
{

TransportKind resolve(TransportKind kind)
{
  if (kind != TransportKind::FromEnvironment) {
    return kind;
  }
  const char * value = std::getenv("RAO_TRANSPORT");
  const std::string name = value ? value : "";
  if (name.empty() || name == "dds") {
    return TransportKind::Dds;
  }
  if (name == "in_process") {
    return TransportKind::InProcess;
  }
  throw std::runtime_error("RAO_TRANSPORT '" + name + "' names no transport (dds, in_process)");
}

}  // namespace

void Context::init(int argc, char const * const * argv, const InitOptions & init_options)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (valid_) {
    throw ContextAlreadyInitialized();
  }
  ros_arguments_ = std::make_shared<const detail::RosArguments>(argc, argv);
  shutdown_reason_.clear();
  transport_kind_ = init_options.transport;
  valid_ = true;
}

transport::Transport & Context::transport()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (!transport_) {
    if (resolve(transport_kind_) == TransportKind::Dds) {
      transport_ = std::make_shared<dds::DdsTransport>();
    } else {
      // Shared by every in-process context and never destroyed.
      transport_ = std::shared_ptr<transport::Transport>(&transport::default_transport(),
          [](transport::Transport *) {});
    }
  }
  return *transport_;
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

std::shared_ptr<const detail::RosArguments> Context::ros_arguments() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ros_arguments_) {
    static const auto none = std::make_shared<const detail::RosArguments>();
    return none;
  }
  return ros_arguments_;
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
