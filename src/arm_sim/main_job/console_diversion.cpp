#include "console_diversion.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace arm_sim
{

namespace
{

int divertStandardOutput(const std::string & log_path)
{
  std::fflush(stdout);
  const int console = dup(STDOUT_FILENO);
  const int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (console < 0 || log < 0 || dup2(log, STDOUT_FILENO) < 0) {
    throw std::runtime_error("main job: cannot write " + log_path);
  }
  close(log);
  return console;
}

}  // namespace

ConsoleDiversion::ConsoleDiversion(const std::string & log_path)
: buffer_(divertStandardOutput(log_path), std::ios::out),
  console_(&buffer_)
{
}

}  // namespace arm_sim
