// Process-wide entry points: init, ok, shutdown and an interruptible sleep.
#ifndef RCLCPP__UTILITIES_HPP_
#define RCLCPP__UTILITIES_HPP_

#include <chrono>
#include <string>

#include "rclcpp/context.hpp"
#include "rclcpp/init_options.hpp"

namespace rclcpp
{

enum class SignalHandlerOptions
{
  All,
  SigInt,
  SigTerm,
  None,
};

// Initialises the default context and, unless told otherwise, installs handlers for SIGINT and
// SIGTERM that shut the default context down.
void init(
  int argc,
  char const * const * argv,
  const InitOptions & init_options = InitOptions(),
  SignalHandlerOptions signal_handler_options = SignalHandlerOptions::All);

bool install_signal_handlers(SignalHandlerOptions signal_handler_options = SignalHandlerOptions::All);
bool signal_handlers_installed();
bool uninstall_signal_handlers();

// True while the context (the default one when null) has not been shut down.
bool ok(Context::SharedPtr context = nullptr);

// Shuts the context down (the default one when null); false when it was down already.
bool shutdown(
  Context::SharedPtr context = nullptr,
  const std::string & reason = "user called rclcpp::shutdown()");

// Sleeps for the given time unless the context shuts down first; false when interrupted.
bool sleep_for(
  const std::chrono::nanoseconds & nanoseconds, Context::SharedPtr context = nullptr);

}  // namespace rclcpp

#endif  // RCLCPP__UTILITIES_HPP_
