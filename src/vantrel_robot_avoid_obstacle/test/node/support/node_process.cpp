#include "node_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "scratch_directory.h"

NodeRun runNode(const std::string& marker, int signal) {
  // The program writes its output to files in the working directory, read here as they grow.
  const pid_t child = fork();
  if (child == 0) {
    dup2(open("node_out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
    dup2(open("node_err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
    execl(RAO_NODE_EXECUTABLE, RAO_NODE_EXECUTABLE, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  bool signalled = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
    } else if (!signalled && readFile("node_out.txt").find(marker) != std::string::npos) {
      signalled = kill(child, signal) == 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile("node_out.txt"), readFile("node_err.txt")};
}

int occurrences(const std::string& output, const std::string& text) {
  int count = 0;
  for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size())) ++count;
  return count;
}
