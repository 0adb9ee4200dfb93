#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "node/ros_two_wrapper.h"
#include "node_workspace.h"

// Reaches the node object's members for the tests: its nodes, its sensor road, its commands and their grab state.
class RosTwoWrapperTestAccess {
 public:
  using Goal = control_msgs::action::FollowJointTrajectory::Goal;
  using ArmMoveJoints = vantrel_interfaces::srv::ArmMoveJoints;
  using Grab = vantrel_interfaces::srv::ArmGrab;
  using Release = vantrel_interfaces::srv::ArmRelease;
  using Cloud = RosTwoWrapper::Cloud;

  static rclcpp::Node& node1(RosTwoWrapper& node) { return *node.node1_; }
  static void run(RosTwoWrapper& node) { node.run(); }
  static rclcpp::Executor& executor(RosTwoWrapper& node, int which) {
    return which == 2 ? static_cast<rclcpp::Executor&>(node.node2_executor_) : node.node3_executor_;
  }
  static const std::string& robotDescription(const RosTwoWrapper& node) {
    return node.plan_scene_ptr_->getRobotDescription();
  }

  // Sensor road.
  static std::vector<double> currentJoints(const RosTwoWrapper& node) { return node.currentJointPositions(); }
  static void setCurrentJoints(RosTwoWrapper& node, const std::vector<double>& q) { node.setCurrentJointPositions(q); }
  static void jointState(RosTwoWrapper& node, const sensor_msgs::msg::JointState& msg) {
    node.real_robot_flag_ ? node.jointStatesCallback(msg) : node.simulationJointStatesCallback(msg);
  }
  // The camera cloud callback of that many cameras without its closing pause.
  static void cameraClouds(RosTwoWrapper& node, const std::vector<const sensor_msgs::msg::PointCloud2*>& messages) {
    node.updateFromCameras(node.cloudsFromMessages(messages), 2.0, false);
  }
  static const PointCloudFilter& cloudFilter(const RosTwoWrapper& node) { return *node.point_cloud_filter_ptr_; }
  static void freezeMap(RosTwoWrapper& node, bool frozen) { node.not_update_obstacle_info_flag_ = frozen; }
  // Runs `read` on the octree, the obstacle cloud and the plan scene under the node's scene lock.
  template <typename Read>
  static void withObstacleMap(RosTwoWrapper& node, Read read) {
    std::lock_guard<std::mutex> lock(node.scene_mutex_);
    read(node.octomap_tree_ptr_, *node.pc_robot_filter_, *node.plan_scene_ptr_);
  }
  static ManipulatorPlanScene& scene(RosTwoWrapper& node) { return *node.plan_scene_ptr_; }
  static const std::shared_ptr<octomap::OcTree>& octree(RosTwoWrapper& node) { return node.octomap_tree_ptr_; }
  static Cloud& filteredCloud(RosTwoWrapper& node) { return *node.pc_robot_filter_; }
  // Whether the obstacle octree holds an occupied leaf at the point.
  static bool occupied(RosTwoWrapper& node, const Eigen::Vector3d& point) {
    std::lock_guard<std::mutex> lock(node.scene_mutex_);
    const octomap::OcTreeNode* leaf = node.octomap_tree_ptr_->search(point.x(), point.y(), point.z());
    return leaf != nullptr && node.octomap_tree_ptr_->isNodeOccupied(leaf);
  }
  static size_t octreeNodes(RosTwoWrapper& node) {
    std::lock_guard<std::mutex> lock(node.scene_mutex_);
    return node.octomap_tree_ptr_->calcNumNodes();
  }

  // Motion, grab and release commands, called as the node's main thread calls them.
  static Goal generate(RosTwoWrapper& node, const std::vector<TrajectoryPoint>& points) {
    return node.generateFollowJointTrajectoryMsg(points);
  }
  static int32_t sendGoalAndWait(RosTwoWrapper& node, const Goal& goal) {
    return node.sendGoalAndWait(goal, "cmd was rejected!", false);
  }
  static void setResultWaitCycle(RosTwoWrapper& node, std::chrono::microseconds cycle) {
    node.result_wait_cycle_ = cycle;
  }
  static int32_t moveToGoal(RosTwoWrapper& node, const std::vector<double>& goal) {
    std_msgs::msg::Float64MultiArray message;
    message.data = goal;
    return node.moveToGoalCallback(message);
  }
  static ArmMoveJoints::Response moveJoints(RosTwoWrapper& node, const ArmMoveJoints::Request& request) {
    return call(node, &RosTwoWrapper::armMoveJointsCmdSrvCallback, request);
  }
  static Grab::Response grab(RosTwoWrapper& node, const Grab::Request& request) {
    return call(node, &RosTwoWrapper::armGrabCmdSrvCallback, request);
  }
  static Release::Response release(RosTwoWrapper& node, const Release::Request& request) {
    return call(node, &RosTwoWrapper::armReleaseCmdSrvCallback, request);
  }
  static const Eigen::Matrix4d& toolMatrix(RosTwoWrapper& node) { return node.tool_matrix_; }
  static bool holding(const RosTwoWrapper& node) { return node.grab_goal_updated_flag_; }
  static bool mapFrozen(const RosTwoWrapper& node) { return node.not_update_obstacle_info_flag_; }
  static const std::vector<double>& transitionPoint(const RosTwoWrapper& node) { return node.transition_point_; }
  static const std::vector<double>& grabGoal(const RosTwoWrapper& node) { return node.grab_goal_; }
  static const Eigen::Matrix4d& tcpToObb(const RosTwoWrapper& node) { return node.tcp_to_obb_matrix_; }
  static const Cloud& heldCloud(const RosTwoWrapper& node) { return *node.obb_removed_cloud_; }
  static double grabObjectPadding(const RosTwoWrapper& node) { return node.grab_object_padding_; }
  static double grabObjectScale(const RosTwoWrapper& node) { return node.grab_object_scale_; }
  // The carried body, null when none is attached.
  static std::unique_ptr<robot_model::core::AttachedBody> attachedCopy(RosTwoWrapper& node) {
    std::lock_guard<std::mutex> lock(node.scene_mutex_);
    const robot_model::core::AttachedBody* body = node.plan_scene_ptr_->getRobotState()->getAttachedBody("grab_object");
    return body ? std::make_unique<robot_model::core::AttachedBody>(*body) : nullptr;
  }
  static bool attach(RosTwoWrapper& node, const std::vector<double>& joints) {
    return node.attachGrabObject(joints, true);
  }
  static void detach(RosTwoWrapper& node) { node.detachGrabObject(true); }

 private:
  template <typename Request, typename Response>
  static Response call(RosTwoWrapper& node,
                       void (RosTwoWrapper::*callback)(std::shared_ptr<Request>, std::shared_ptr<Response>),
                       const Request& request) {
    auto response = std::make_shared<Response>();
    (node.*callback)(std::make_shared<Request>(request), response);
    return *response;
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
