// The simulated peers and the scripted commands, in their own process: the node runs in another one.
//   arm_sim_main_job <output folder> [node configuration]
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "console_diversion.hpp"
#include "main_job.hpp"
#include "main_job_paths.hpp"

int main(int argc, char ** argv)
{
  if (argc < 2) {
    std::cerr << "usage: arm_sim_main_job <output folder> [node configuration]\n";
    return EXIT_FAILURE;
  }
  const std::string output_dir = argv[1];
  const std::string config = argc > 2 ? argv[2] : arm_sim::kNodeConfigPath;
  rclcpp::init(0, nullptr);
  bool ok = false;
  try {
    std::filesystem::create_directories(output_dir);
    arm_sim::ConsoleDiversion diversion(output_dir + "/peers.log");
    const auto peer = std::make_shared<rclcpp::Node>("main_job_peers");
    ok = arm_sim::runMainJob(peer, arm_sim::readMainJobSettings(config), output_dir, diversion.console());
    diversion.console().flush();
  } catch (const std::exception & e) {
    std::cerr << e.what() << '\n';
  }
  rclcpp::shutdown();
  return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
