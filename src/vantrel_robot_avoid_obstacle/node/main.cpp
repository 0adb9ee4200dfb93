// The robot avoid obstacle process: one node object, spun until an interrupt shuts the context down.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include <rclcpp/rclcpp.hpp>

#include "node/ros_two_wrapper.h"

namespace {

// Start-up that cannot go on: the reason, once, on standard error.
void printFailure(const std::exception& failure) {
  const std::string text = failure.what();
  fputs(text.c_str(), stderr);
  if (text.empty() || text.back() != '\n') fputc('\n', stderr);
}

}  // namespace

int main(int argc, char** argv) {
  puts("start robot avoid obstacle node");
  std::cout << "main threadid ============================> " << std::this_thread::get_id() << std::endl;
  // A malformed or unknown ROS argument on the command line.
  try {
    rclcpp::init(argc, argv);
  } catch (const std::exception& e) {
    printFailure(e);
    return EXIT_FAILURE;
  }

  std::unique_ptr<RosTwoWrapper> node;
  try {
    node = std::make_unique<RosTwoWrapper>();
  } catch (const std::exception& e) {
    printFailure(e);
    rclcpp::shutdown();
    return EXIT_FAILURE;
  }
  if (!node->isReady()) {
    fputs("robot avoid obstacle node: start-up stopped, see the messages above\n", stderr);
    rclcpp::shutdown();
    return EXIT_FAILURE;
  }
  node->run();
  rclcpp::shutdown();
  return EXIT_SUCCESS;
}
