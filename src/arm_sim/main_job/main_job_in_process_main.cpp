// The node and the main job's peers in one process, over the in-process transport: the reference the
// two-process run is compared with. The node's console output goes to "node.log" in the output folder,
// the table to the console.
//   arm_sim_main_job_in_process <output folder>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "console_diversion.hpp"
#include "main_job.hpp"
#include "main_job_paths.hpp"
#include "node/ros_two_wrapper.h"

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
    arm_sim::ConsoleDiversion diversion(output_dir + "/node.log");
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
          std::make_shared<rclcpp::Node>("main_job_peers"), settings, output_dir, diversion.console());
      } catch (...) {
        rclcpp::shutdown();
        node_thread.join();
        throw;
      }
      rclcpp::shutdown();
      node_thread.join();
    }
    diversion.console().flush();
  } catch (const std::exception & e) {
    std::cerr << e.what() << '\n';
    if (rclcpp::ok()) {
      rclcpp::shutdown();
    }
  }
  return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
