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

int main(int argc, char** argv) {
  puts("start robot avoid obstacle node");
  std::cout << "main threadid ============================> " << std::this_thread::get_id() << std::endl;
  rclcpp::init(argc, argv);

  std::unique_ptr<RosTwoWrapper> node;
  try {
    node = std::make_unique<RosTwoWrapper>();
  } catch (const std::exception& e) {
    const std::string text = e.what();
    fputs(text.c_str(), stderr);
    if (text.empty() || text.back() != '\n') fputc('\n', stderr);
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
