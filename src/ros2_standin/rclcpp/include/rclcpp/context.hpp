// The context: the life span of the client library between init and shutdown.
#ifndef RCLCPP__CONTEXT_HPP_
#define RCLCPP__CONTEXT_HPP_

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "rclcpp/detail/waker.hpp"
#include "rclcpp/init_options.hpp"
#include "rclcpp/transport/transport.hpp"

namespace rclcpp
{
namespace detail
{
class RosArguments;
}  // namespace detail

class Context : public std::enable_shared_from_this<Context>
{
public:
  using SharedPtr = std::shared_ptr<Context>;

  Context() = default;
  Context(const Context &) = delete;
  Context & operator=(const Context &) = delete;
  virtual ~Context() = default;

  // Parses the ROS arguments of the command line (between "--ros-args" and "--"): a malformed
  // one throws exceptions::RCLError, an unknown one exceptions::UnknownROSArgsError. Throws
  // ContextAlreadyInitialized when the context is valid already.
  void init(int argc, char const * const * argv, const InitOptions & init_options = InitOptions());

  bool is_valid() const;

  // Ends the context and wakes every wait bound to it; false when it was not valid.
  bool shutdown(const std::string & reason);

  std::string shutdown_reason() const;

  // The ROS arguments of the last init: parameter overrides and remaps of every node made in it.
  std::shared_ptr<const detail::RosArguments> ros_arguments() const;

  // The transport chosen at init, made on first use and kept for the context's life. Throws
  // std::runtime_error when RAO_TRANSPORT names no transport or DDS cannot start.
  transport::Transport & transport();

  // Keeps a waker registered for as long as the guard lives: shutdown wakes it.
  class WakeOnShutdown
  {
public:
    WakeOnShutdown(Context & context, detail::Waker & waker);
    ~WakeOnShutdown();
    WakeOnShutdown(const WakeOnShutdown &) = delete;
    WakeOnShutdown & operator=(const WakeOnShutdown &) = delete;

private:
    Context & context_;
    detail::Waker & waker_;
  };

private:
  mutable std::mutex mutex_;
  bool valid_ = false;
  std::string shutdown_reason_;
  std::set<detail::Waker *> wakers_;
  TransportKind transport_kind_ = TransportKind::FromEnvironment;
  std::shared_ptr<transport::Transport> transport_;
  std::shared_ptr<const detail::RosArguments> ros_arguments_;
};

namespace contexts
{

Context::SharedPtr get_global_default_context();

}  // namespace contexts
}  // namespace rclcpp

#endif  // RCLCPP__CONTEXT_HPP_
