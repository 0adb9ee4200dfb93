#include "in_process_node.h"

#include <filesystem>

#include <gtest/gtest.h>

InProcessNode::InProcessNode(const YAML::Node& config) {
  workspace_.writeConfig(config);
  rclcpp::init(0, nullptr);
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(workspace_.path());
  testing::internal::CaptureStdout();
  node_ = std::make_unique<RosTwoWrapper>();
  output_ = testing::internal::GetCapturedStdout();
  std::filesystem::current_path(previous);
}

InProcessNode::~InProcessNode() {
  node_.reset();
  rclcpp::shutdown();
}
