#include "rclcpp/utilities.hpp"

#include "signal_handler.hpp"

namespace rclcpp
{

namespace
{

Context::SharedPtr or_default(Context::SharedPtr context)
{
  return context ? context : contexts::get_global_default_context();
}

}  // namespace

void init(
  int argc, char const * const * argv, const InitOptions & init_options,
  SignalHandlerOptions signal_handler_options)
{
  contexts::get_global_default_context()->init(argc, argv, init_options);
  if (init_options.shutdown_on_signal) {
    install_signal_handlers(signal_handler_options);
  }
}

bool install_signal_handlers(SignalHandlerOptions signal_handler_options)
{
  return detail::SignalHandler::instance().install(signal_handler_options);
}

bool signal_handlers_installed()
{
  return detail::SignalHandler::instance().is_installed();
}

bool uninstall_signal_handlers()
{
  return detail::SignalHandler::instance().uninstall();
}

bool ok(Context::SharedPtr context)
{
  return or_default(context)->is_valid();
}

bool shutdown(Context::SharedPtr context, const std::string & reason)
{
  const auto default_context = contexts::get_global_default_context();
  context = or_default(context);
  const bool was_running = context->shutdown(reason);
  if (context == default_context) {
    uninstall_signal_handlers();
  }
  return was_running;
}

bool sleep_for(const std::chrono::nanoseconds & nanoseconds, Context::SharedPtr context)
{
  context = or_default(context);
  const auto deadline = std::chrono::steady_clock::now() + nanoseconds;
  detail::Waker waker;
  Context::WakeOnShutdown guard(*context, waker);
  while (context->is_valid() && std::chrono::steady_clock::now() < deadline) {
    waker.wait_until(deadline);
  }
  return context->is_valid();
}

}  // namespace rclcpp
