#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// The node program as a child process in the working directory, its standard output and error going to node_out.txt
// and node_err.txt there; stopped with SIGINT at the end unless it has ended by itself.
class NodeProcess {
 public:
  // `environment` holds "NAME=value" entries set for the program over this process's own.
  explicit NodeProcess(const std::vector<std::string>& arguments = {},
                       const std::vector<std::string>& environment = {});
  ~NodeProcess();
  NodeProcess(const NodeProcess&) = delete;
  NodeProcess& operator=(const NodeProcess&) = delete;

  // Sends `signal` once the program's standard output holds `marker` (at once for an empty marker); false when the
  // program ended, or a minute (a hang, however busy the machine) passed, before that.
  bool signalOnOutput(const std::string& marker, int signal);
  // Awaits the end, killing a program that has not ended within a minute; the exit status, or -1 for an end by a
  // signal.
  int awaitEnd();
  // SIGINT, then awaitEnd().
  int stop();
  // The program's resident memory in bytes, from the kernel.
  size_t residentBytes() const;

 private:
  bool ended();

  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

struct NodeRun {
  // The exit status, or -1 when the program did not end by itself after the signal and had to be killed.
  int exit_status = -1;
  std::string out;
  std::string err;
};

// Runs the node program; once its standard output holds `marker`, `signal` is sent, then the run is awaited.
NodeRun runNode(const std::string& marker, int signal);

// How often `text` occurs in `output`.
int occurrences(const std::string& output, const std::string& text);
