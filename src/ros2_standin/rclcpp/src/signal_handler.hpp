// SIGINT/SIGTERM handling: the handler only writes one byte to a pipe; a helper thread reads it
// and shuts the default context down outside signal context.
#ifndef RCLCPP__SRC__SIGNAL_HANDLER_HPP_
#define RCLCPP__SRC__SIGNAL_HANDLER_HPP_

#include <signal.h>

#include <mutex>
#include <thread>

#include "rclcpp/utilities.hpp"

namespace rclcpp
{
namespace detail
{

class SignalHandler
{
public:
  static SignalHandler & instance();

  bool install(SignalHandlerOptions options);
  bool uninstall();
  bool is_installed();

  ~SignalHandler();

private:
  SignalHandler() = default;

  static void on_signal(int signal_number, siginfo_t * info, void * ucontext);
  void watch_pipe();

  std::mutex mutex_;
  bool installed_ = false;
  bool handles_sigint_ = false;
  bool handles_sigterm_ = false;
  struct sigaction old_sigint_ {};
  struct sigaction old_sigterm_ {};
  std::thread watcher_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__SRC__SIGNAL_HANDLER_HPP_
