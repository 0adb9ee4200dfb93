#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arm_sim/arm_controller.hpp>
#include <arm_sim/topic_recorders.hpp>

#include "grab/pose_conversion.h"
#include "motion_rig.h"

// Reaches the grab and release handlers and the state they leave.
class GrabReleaseTestAccess {
 public:
  using Grab = vantrel_interfaces::srv::ArmGrab;
  using Release = vantrel_interfaces::srv::ArmRelease;
  using Cloud = RosTwoWrapper::Cloud;

  static Grab::Response grab(RosTwoWrapper& node, const Grab::Request& request) {
    auto response = std::make_shared<Grab::Response>();
    node.armGrabCmdSrvCallback(std::make_shared<Grab::Request>(request), response);
    return *response;
  }
  static Release::Response release(RosTwoWrapper& node, const Release::Request& request) {
    auto response = std::make_shared<Release::Response>();
    node.armReleaseCmdSrvCallback(std::make_shared<Release::Request>(request), response);
    return *response;
  }
  static int32_t moveTo(RosTwoWrapper& node, const std::vector<double>& joints) {
    JointPath path;
    return node.MoveToGoalNotUpdateObstacle(joints, 1, path);
  }
  static void setObstacleCloud(RosTwoWrapper& node, const Cloud& cloud) {
    std::lock_guard<std::mutex> lock(node.scene_mutex_);
    *node.pc_robot_filter_ = cloud;
  }
  static void setJoints(RosTwoWrapper& node, const std::vector<double>& joints) {
    node.setCurrentJointPositions(joints);
  }
  static bool holding(const RosTwoWrapper& node) { return node.grab_goal_updated_flag_; }
  static bool mapFrozen(const RosTwoWrapper& node) { return node.not_update_obstacle_info_flag_; }
  static const std::vector<double>& transitionPoint(const RosTwoWrapper& node) { return node.transition_point_; }
  static const std::vector<double>& grabGoal(const RosTwoWrapper& node) { return node.grab_goal_; }
  static const Eigen::Matrix4d& tcpToObb(const RosTwoWrapper& node) { return node.tcp_to_obb_matrix_; }
  static const Cloud& heldCloud(const RosTwoWrapper& node) { return *node.obb_removed_cloud_; }
  static ManipulatorPlanScene& scene(RosTwoWrapper& node) { return *node.plan_scene_ptr_; }
  // Whether the obstacle octree holds an occupied leaf at the point.
  static bool occupied(RosTwoWrapper& node, const Eigen::Vector3d& point) {
    std::lock_guard<std::mutex> lock(node.scene_mutex_);
    const octomap::OcTreeNode* leaf = node.octomap_tree_ptr_->search(point.x(), point.y(), point.z());
    return leaf != nullptr && node.octomap_tree_ptr_->isNodeOccupied(leaf);
  }
  // The carried body, null when none is attached.
  static std::unique_ptr<robot_model::core::AttachedBody> attachedCopy(RosTwoWrapper& node) {
    std::lock_guard<std::mutex> lock(node.scene_mutex_);
    const robot_model::core::AttachedBody* body = node.plan_scene_ptr_->getRobotState()->getAttachedBody("grab_object");
    return body ? std::make_unique<robot_model::core::AttachedBody>(*body) : nullptr;
  }
  static bool attach(RosTwoWrapper& node, const std::vector<double>& joints) { return node.attachGrabObject(joints); }
  static void detach(RosTwoWrapper& node) { node.detachGrabObject(); }
  static size_t octreeNodes(RosTwoWrapper& node) {
    std::lock_guard<std::mutex> lock(node.scene_mutex_);
    return node.octomap_tree_ptr_->calcNumNodes();
  }
  // Puts the node in the state a successful grab leaves, without moving.
  static void pretendHeld(RosTwoWrapper& node, const std::vector<double>& transition_point,
                          const Eigen::Matrix4d& tcp_to_obb, const std::array<double, 3>& size, const Cloud& held) {
    node.transition_point_ = transition_point;
    node.grab_goal_ = transition_point;
    node.tcp_to_obb_matrix_ = tcp_to_obb;
    node.obb_size_ = size;
    *node.obb_removed_cloud_ = held;
    node.grab_goal_updated_flag_ = true;
    node.not_update_obstacle_info_flag_ = true;
  }
};

// The node in simulation with the grab services, a simulated arm controller playing its goals back (its joint
// states fed to the node as the joint-state callbacks would), and recorders of what the node publishes. The
// node spins on its own threads; the handlers are called from the test's thread, as the main loop would.
class GrabWorld {
 public:
  // `real_robot`: the node as on the real robot (collision switch, command records).
  GrabWorld(Arm arm, const Eigen::Matrix4d& tool_matrix, const std::vector<double>& start, bool real_robot = false);
  ~GrabWorld();

  RosTwoWrapper& node() { return node_->node(); }
  arm_sim::ArmController& controller() { return *controller_; }
  arm_sim::NodeOutputRecorders& recorders() { return *recorders_; }
  // Called with each joint state the controller publishes while it plays a goal, after the node got it, with
  // the number of goals accepted so far.
  void onJointState(std::function<void(size_t accepted_goals)> callback) {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    on_joint_state_ = std::move(callback);
  }

 private:
  std::unique_ptr<InProcessNode> node_;
  std::shared_ptr<rclcpp::Node> peer_;
  std::unique_ptr<arm_sim::ArmController> controller_;
  std::unique_ptr<arm_sim::NodeOutputRecorders> recorders_;
  rclcpp::Subscription<sensor_msgs::msg::JointState>::SharedPtr joint_forwarder_;
  rclcpp::executors::SingleThreadedExecutor peer_executor_;
  std::mutex hook_mutex_;
  std::function<void(size_t)> on_joint_state_;
  std::thread peer_thread_;
  std::thread node_thread_;
};
