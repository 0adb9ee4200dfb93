#pragma once

#include <memory>
#include <string>

#include "node/ros_two_wrapper.h"
#include "node_workspace.h"

// Reaches the node object's members for the tests.
class RosTwoWrapperTestAccess {
 public:
  static rclcpp::Node& node1(RosTwoWrapper& node) { return *node.node1_; }
  static void run(RosTwoWrapper& node) { node.run(); }
  static const std::string& robotDescription(const RosTwoWrapper& node) {
    return node.plan_scene_ptr_->getRobotDescription();
  }
};

// The node object built in this process from a configuration, in an initialised ROS context and a fresh
// workspace, with the construction's console output kept. Shuts the context down when done.
class InProcessNode {
 public:
  explicit InProcessNode(const YAML::Node& config);
  ~InProcessNode();
  InProcessNode(const InProcessNode&) = delete;
  InProcessNode& operator=(const InProcessNode&) = delete;

  RosTwoWrapper& node() { return *node_; }
  const std::string& output() const { return output_; }

 private:
  NodeWorkspace workspace_;
  std::unique_ptr<RosTwoWrapper> node_;
  std::string output_;
};
