#pragma once

#include <string>

struct NodeRun {
  // The exit status, or -1 when the program did not end by itself after the signal and had to be killed.
  int exit_status = -1;
  std::string out;
  std::string err;
};

// Runs the node program in the working directory. Once its standard output holds `marker` (or at once for an empty
// marker), `signal` is sent; then the run is awaited. A program that neither shows the marker nor ends within
// a minute (a hang, however busy the machine) is killed.
NodeRun runNode(const std::string& marker, int signal);

// How often `text` occurs in `output`.
int occurrences(const std::string& output, const std::string& text);
