#include "node_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {

// Reads what is available; false at end of file.
bool drain(int fd, std::string& into) {
  char buffer[4096];
  const ssize_t count = read(fd, buffer, sizeof buffer);
  if (count <= 0) return false;
  into.append(buffer, static_cast<size_t>(count));
  return true;
}

}  // namespace

NodeRun runNode(const std::string& marker, int signal) {
  int out_pipe[2];
  int err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    close(out_pipe[0]);
    close(err_pipe[0]);
    execl(RAO_NODE_EXECUTABLE, RAO_NODE_EXECUTABLE, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);

  NodeRun run;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool signalled = false;
  bool out_open = true;
  bool err_open = true;
  while ((out_open || err_open) && std::chrono::steady_clock::now() < deadline) {
    if (!signalled && run.out.find(marker) != std::string::npos) {
      kill(child, signal);
      signalled = true;
    }
    pollfd fds[2] = {{out_open ? out_pipe[0] : -1, POLLIN, 0}, {err_open ? err_pipe[0] : -1, POLLIN, 0}};
    if (poll(fds, 2, 100) <= 0) continue;
    if (fds[0].revents != 0) out_open = drain(out_pipe[0], run.out);
    if (fds[1].revents != 0) err_open = drain(err_pipe[0], run.err);
  }
  close(out_pipe[0]);
  close(err_pipe[0]);
  const bool ended = !out_open && !err_open;
  if (!ended) kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  if (ended && WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
  return run;
}

int occurrences(const std::string& output, const std::string& text) {
  int count = 0;
  for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size())) ++count;
  return count;
}
