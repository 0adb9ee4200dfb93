#include "signal_handler.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "rclcpp/context.hpp"

namespace rclcpp
{
namespace detail
{

namespace
{

constexpr char kSignalled = 's';
constexpr char kQuit = 'q';

// Read by the handler, so plain lock-free values set before the handler is installed.
std::atomic<int> pipe_read_fd{-1};
std::atomic<int> pipe_write_fd{-1};
struct sigaction chained_sigint {};
struct sigaction chained_sigterm {};

void write_byte(char byte)
{
  const int fd = pipe_write_fd.load();
  while (fd >= 0 && write(fd, &byte, 1) < 0 && errno == EINTR) {
  }
}

void call_chained(const struct sigaction & old, int signal_number, siginfo_t * info, void * context)
{
  if ((old.sa_flags & SA_SIGINFO) != 0) {
    if (old.sa_sigaction != nullptr) {
      old.sa_sigaction(signal_number, info, context);
    }
  } else if (old.sa_handler != SIG_DFL && old.sa_handler != SIG_IGN && old.sa_handler != SIG_ERR) {
    old.sa_handler(signal_number);
  }
}

}  // namespace

SignalHandler & SignalHandler::instance()
{
  static SignalHandler handler;
  return handler;
}

SignalHandler::~SignalHandler()
{
  uninstall();
}

void SignalHandler::on_signal(int signal_number, siginfo_t * info, void * ucontext)
{
  const int saved_errno = errno;
  call_chained(signal_number == SIGINT ? chained_sigint : chained_sigterm,
    signal_number, info, ucontext);
  write_byte(kSignalled);
  errno = saved_errno;
}

bool SignalHandler::install(SignalHandlerOptions options)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (installed_ || options == SignalHandlerOptions::None) {
    return false;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    return false;
  }
  pipe_read_fd.store(fds[0]);
  pipe_write_fd.store(fds[1]);
  watcher_ = std::thread([this] {watch_pipe();});

  struct sigaction action {};
  action.sa_sigaction = &SignalHandler::on_signal;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  handles_sigint_ = options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigInt;
  handles_sigterm_ = options == SignalHandlerOptions::All ||
    options == SignalHandlerOptions::SigTerm;
  if (handles_sigint_) {
    sigaction(SIGINT, nullptr, &chained_sigint);
    old_sigint_ = chained_sigint;
    sigaction(SIGINT, &action, nullptr);
  }
  if (handles_sigterm_) {
    sigaction(SIGTERM, nullptr, &chained_sigterm);
    old_sigterm_ = chained_sigterm;
    sigaction(SIGTERM, &action, nullptr);
  }
  installed_ = true;
  return true;
}

bool SignalHandler::uninstall()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (!installed_) {
    return false;
  }
  if (handles_sigint_) {
    sigaction(SIGINT, &old_sigint_, nullptr);
  }
  if (handles_sigterm_) {
    sigaction(SIGTERM, &old_sigterm_, nullptr);
  }
  write_byte(kQuit);
  watcher_.join();
  close(pipe_read_fd.exchange(-1));
  close(pipe_write_fd.exchange(-1));
  installed_ = false;
  return true;
}

bool SignalHandler::is_installed()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return installed_;
}

void SignalHandler::watch_pipe()
{
  const int fd = pipe_read_fd.load();
  for (;;) {
    char byte = 0;
    const ssize_t got = read(fd, &byte, 1);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0 || byte == kQuit) {
      return;
    }
    contexts::get_global_default_context()->shutdown("signal handler");
  }
}

}  // namespace detail
}  // namespace rclcpp
