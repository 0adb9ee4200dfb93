#include "node_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "scratch_directory.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kHang = 60s;

std::string nameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

}  // namespace

NodeProcess::NodeProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
  // Everything is prepared before the fork: the child of a threaded process may only exec.
  std::vector<char*> argv{const_cast<char*>(RAO_NODE_EXECUTABLE)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
  for (char** entry = environ; *entry; ++entry) {
    bool replaced = false;
    for (const std::string& set : environment) replaced = replaced || nameOf(set) == nameOf(*entry);
    if (!replaced) envp.push_back(*entry);
  }
  envp.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(open("node_out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
    dup2(open("node_err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
    execve(RAO_NODE_EXECUTABLE, argv.data(), envp.data());
    _exit(127);
  }
}

NodeProcess::~NodeProcess() {
  if (!ended_) stop();
}

bool NodeProcess::ended() { return ended_ = ended_ || waitpid(pid_, &status_, WNOHANG) == pid_; }

bool NodeProcess::signalOnOutput(const std::string& marker, int signal) {
  const auto deadline = std::chrono::steady_clock::now() + kHang;
  while (!ended() && std::chrono::steady_clock::now() < deadline) {
    if (readFile("node_out.txt").find(marker) != std::string::npos) return kill(pid_, signal) == 0;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

int NodeProcess::awaitEnd() {
  const auto deadline = std::chrono::steady_clock::now() + kHang;
  while (!ended()) {
    if (std::chrono::steady_clock::now() > deadline) kill(pid_, SIGKILL);
    std::this_thread::sleep_for(10ms);
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int NodeProcess::stop() {
  if (!ended()) kill(pid_, SIGINT);
  return awaitEnd();
}

size_t NodeProcess::residentBytes() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string key;
  size_t kilobytes = 0;
  while (status >> key && key != "VmRSS:") status.ignore(4096, '\n');
  status >> kilobytes;
  return kilobytes * 1024;
}

NodeRun runNode(const std::string& marker, int signal) {
  NodeProcess program;
  program.signalOnOutput(marker, signal);
  const int status = program.awaitEnd();
  return {status, readFile("node_out.txt"), readFile("node_err.txt")};
}

int occurrences(const std::string& output, const std::string& text) {
  int count = 0;
  for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size())) ++count;
  return count;
}
