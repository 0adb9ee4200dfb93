#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

  // Sensor road.
  static void freezeObstacleMap(RosTwoWrapper& node, bool frozen) { node.not_update_obstacle_info_flag_ = frozen; }
  static std::vector<double> currentJoints(const RosTwoWrapper& node) { return node.currentJointPositions(); }
  static void jointState(RosTwoWrapper& node, const sensor_msgs::msg::JointState& msg) {
    node.real_robot_flag_ ? node.jointStatesCallback(msg) : node.simulationJointStatesCallback(msg);
  }
  // The camera cloud callback of that many cameras without its closing pause.
  static void cameraClouds(RosTwoWrapper& node, const std::vector<const sensor_msgs::msg::PointCloud2*>& messages) {
    node.updateFromCameras(node.cloudsFromMessages(messages), 2.0, false);
  }
  // Runs `read` on the octree, the obstacle cloud and the plan scene under the node's scene lock.
  template <typename Read>
  static void withObstacleMap(RosTwoWrapper& node, Read read) {
    std::lock_guard<std::mutex> lock(node.scene_mutex_);
    read(node.octomap_tree_ptr_, *node.pc_robot_filter_, *node.plan_scene_ptr_);
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
