#include "robot_model/shapes/isolated_call.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace shapes
{
namespace
{
constexpr int kExceptionExitCode = 3;

#if defined(RAO_SANITIZED)
bool otherThreadsRun()
{
  std::error_code error;
  const std::filesystem::directory_iterator tasks("/proc/self/task", error);
  return !error && std::distance(tasks, std::filesystem::directory_iterator()) > 1;
}
#endif

void limitAddressSpace(std::size_t extra_bytes)
{
#ifndef RAO_SANITIZED
  long pages = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r"))
  {
    if (std::fscanf(statm, "%ld", &pages) != 1)
      pages = 0;
    std::fclose(statm);
  }
  const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + extra_bytes;
  const rlimit bound{ limit, limit };
  setrlimit(RLIMIT_AS, &bound);
#else
  (void)extra_bytes;
#endif
}

bool writeAll(int fd, const char* data, std::size_t size)
{
  while (size > 0)
  {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

[[noreturn]] void runChild(int fd, pid_t parent, const std::function<std::vector<char>()>& produce,
                           std::size_t memory_bytes)
{
  // The child must not outlive a parent that dies while it works.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent)
    ::_exit(1);
  // Whatever the child prints on its way down (a sanitizer's report of the importer's crash) is the parent's to
  // summarise.
  const int null_device = ::open("/dev/null", O_WRONLY);
  if (null_device >= 0)
  {
    ::dup2(null_device, STDOUT_FILENO);
    ::dup2(null_device, STDERR_FILENO);
  }
  limitAddressSpace(memory_bytes);
  int code = 0;
  try
  {
    const std::vector<char> output = produce();
    code = writeAll(fd, output.data(), output.size()) ? 0 : 1;
  }
  catch (...)
  {
    code = kExceptionExitCode;
  }
  ::_exit(code);  // no exit handlers, no flush of buffers inherited from the parent
}

// Reads until end of file; a non-empty failure when the time or size limit ends it first.
std::string readOutput(int fd, const IsolatedCallLimits& limits, std::vector<char>& output)
{
  const auto deadline = std::chrono::steady_clock::now() + limits.time;
  char chunk[65536];
  for (;;)
  {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      return "took longer than " + std::to_string(limits.time.count()) + " ms";
    pollfd readable{ fd, POLLIN, 0 };
    const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0)
      continue;  // the deadline is checked above
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return std::string();
    if (output.size() + static_cast<std::size_t>(got) > limits.output_bytes)
      return "produced more than " + std::to_string(limits.output_bytes) + " bytes";
    output.insert(output.end(), chunk, chunk + got);
  }
}

std::string describeEnd(int status)
{
  if (WIFSIGNALED(status))
    return std::string("ended by signal ") + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) +
           ")";
  if (WIFEXITED(status) && WEXITSTATUS(status) == kExceptionExitCode)
    return "ended with an exception";
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
    return "ended with exit status " + std::to_string(WEXITSTATUS(status));
  return std::string();
}
}  // namespace

IsolatedCallResult callIsolated(const std::function<std::vector<char>()>& produce, const IsolatedCallLimits& limits)
{
  IsolatedCallResult result;
#if defined(RAO_SANITIZED)
  // The sanitizers' runtimes here do not keep their own state across a fork taken while other threads run
  // (the child can hang in the allocator; the thread sanitizer reports freed memory in use afterwards), so
  // sanitized builds with other threads running call produce here; the isolation is tested single-threaded.
  if (otherThreadsRun())
  {
    result.output = produce();
    return result;
  }
#endif
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
  {
    result.failure = std::string("could not create a pipe: ") + std::strerror(errno);
    return result;
  }
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child < 0)
  {
    result.failure = std::string("could not start a process: ") + std::strerror(errno);
    ::close(fds[0]);
    ::close(fds[1]);
    return result;
  }
  if (child == 0)
  {
    ::close(fds[0]);
    runChild(fds[1], parent, produce, limits.memory_bytes);
  }
  ::close(fds[1]);
  result.failure = readOutput(fds[0], limits, result.output);
  ::close(fds[0]);
  if (!result.failure.empty())
    ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR)
  {
  }
  if (result.failure.empty())
    result.failure = describeEnd(status);
  return result;
}
}  // namespace shapes
