// The node and the main job's peers in one process, over the in-process transport: the reference the
// two-process run is compared with. The node's console output goes to "node.log" in the output folder,
// the table to the console.
//   arm_sim_main_job_in_process <output folder>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include <ext/stdio_filebuf.h>

#include "main_job.hpp"
#include "main_job_paths.hpp"
#include "node/ros_two_wrapper.h"

namespace
{

// Sends file descriptor 1 to `log_path`; returns a descriptor for the former standard output.
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

int main(int argc, char ** argv)
{
  if (argc != 2) {
    std::cerr << "usage: arm_sim_main_job_in_process <output folder>\n";
    return EXIT_FAILURE;
  }
  const std::string output_dir = argv[1];
  setenv("RAO_TRANSPORT", "in_process", 1);
  bool ok = false;
  try {
    std::filesystem::create_directories(output_dir);
    __gnu_cxx::stdio_filebuf<char> console_buffer(
      divertStandardOutput(output_dir + "/node.log"), std::ios::out);
    std::ostream console(&console_buffer);
    const auto settings = arm_sim::readMainJobSettings(arm_sim::kNodeConfigPath);
    rclcpp::init(0, nullptr);
    {
      RosTwoWrapper node;
      if (!node.isReady()) {
        throw std::runtime_error("main job: the node did not start, see node.log");
      }
      std::thread node_thread([&node] {node.run();});
      try {
        ok = arm_sim::runMainJob(
          std::make_shared<rclcpp::Node>("main_job_peers"), settings, output_dir, console);
      } catch (...) {
        rclcpp::shutdown();
        node_thread.join();
        throw;
      }
      rclcpp::shutdown();
      node_thread.join();
    }
    console.flush();
  } catch (const std::exception & e) {
    std::cerr << e.what() << '\n';
    if (rclcpp::ok()) {
      rclcpp::shutdown();
    }
  }
  return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
