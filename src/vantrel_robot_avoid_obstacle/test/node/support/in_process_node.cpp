#include "in_process_node.h"

#include <gtest/gtest.h>

InProcessNode::InProcessNode(const YAML::Node& config) {
  workspace_.writeConfig(config);
  rclcpp::init(0, nullptr);
  testing::internal::CaptureStdout();
  node_ = std::make_unique<RosTwoWrapper>();
  output_ = testing::internal::GetCapturedStdout();
}

InProcessNode::~InProcessNode() {
  node_.reset();
  rclcpp::shutdown();
}
