#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "arm_sim/arm_controller.hpp"
#include "arm_sim/scene_camera.hpp"
#include "arm_sim/topic_recorders.hpp"
#include "support/in_process_node.h"

// Reaches the motion, grab and release members of the node object.
class MotionTestAccess {
 public:
  using Goal = control_msgs::action::FollowJointTrajectory::Goal;
  using ArmMoveJoints = vantrel_interfaces::srv::ArmMoveJoints;
  using Grab = vantrel_interfaces::srv::ArmGrab;
  using Release = vantrel_interfaces::srv::ArmRelease;
  using Cloud = RosTwoWrapper::Cloud;

  static Goal generate(RosTwoWrapper& node, const std::vector<TrajectoryPoint>& points) {
    return node.generateFollowJointTrajectoryMsg(points);
  }
  static int32_t sendGoalAndWait(RosTwoWrapper& node, const Goal& goal) {
    return node.sendGoalAndWait(goal, "cmd was rejected!", false);
  }
  static int32_t moveToGoal(RosTwoWrapper& node, const std::vector<double>& goal) {
    std_msgs::msg::Float64MultiArray message;
    message.data = goal;
    return node.moveToGoalCallback(message);
  }
  static ArmMoveJoints::Response moveJoints(RosTwoWrapper& node, const ArmMoveJoints::Request& request) {
    auto response = std::make_shared<ArmMoveJoints::Response>();
    node.armMoveJointsCmdSrvCallback(std::make_shared<ArmMoveJoints::Request>(request), response);
    return *response;
  }
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
  static void setCurrentJoints(RosTwoWrapper& node, const std::vector<double>& q) { node.setCurrentJointPositions(q); }
  static void setResultWaitCycle(RosTwoWrapper& node, std::chrono::microseconds cycle) {
    node.result_wait_cycle_ = cycle;
  }
  static ManipulatorPlanScene& scene(RosTwoWrapper& node) { return *node.plan_scene_ptr_; }
  static std::mutex& sceneMutex(RosTwoWrapper& node) { return node.scene_mutex_; }
  static const std::shared_ptr<octomap::OcTree>& octree(RosTwoWrapper& node) { return node.octomap_tree_ptr_; }
  static RosTwoWrapper::Cloud& filteredCloud(RosTwoWrapper& node) { return *node.pc_robot_filter_; }
  static const Eigen::Matrix4d& toolMatrix(RosTwoWrapper& node) { return node.tool_matrix_; }
  static rclcpp::Executor& executor(RosTwoWrapper& node, int which) {
    return which == 2 ? static_cast<rclcpp::Executor&>(node.node2_executor_) : node.node3_executor_;
  }
  static bool holding(const RosTwoWrapper& node) { return node.grab_goal_updated_flag_; }
  static bool mapFrozen(const RosTwoWrapper& node) { return node.not_update_obstacle_info_flag_; }
  static const std::vector<double>& transitionPoint(const RosTwoWrapper& node) { return node.transition_point_; }
  static const std::vector<double>& grabGoal(const RosTwoWrapper& node) { return node.grab_goal_; }
  static const Eigen::Matrix4d& tcpToObb(const RosTwoWrapper& node) { return node.tcp_to_obb_matrix_; }
  static const Cloud& heldCloud(const RosTwoWrapper& node) { return *node.obb_removed_cloud_; }
  static double grabObjectPadding(const RosTwoWrapper& node) { return node.grab_object_padding_; }
  static double grabObjectScale(const RosTwoWrapper& node) { return node.grab_object_scale_; }
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
};

enum class Arm { Five, Six };

inline MotionTestAccess::ArmMoveJoints::Request jointRequest(const std::vector<double>& joints, int32_t cmd_type = 0) {
  MotionTestAccess::ArmMoveJoints::Request request;
  request.cmd_type = cmd_type;
  request.joints.data = joints;
  return request;
}

inline MotionTestAccess::ArmMoveJoints::Request poseRequest(const std::array<double, 7>& pose) {
  MotionTestAccess::ArmMoveJoints::Request request;
  request.cmd_type = 1;
  std::copy(pose.begin(), pose.end(), request.pose.begin());
  return request;
}

inline MotionTestAccess::Release::Request releaseTo(const std::vector<double>& joints) {
  MotionTestAccess::Release::Request request;
  request.release_joints.data = joints;
  return request;
}

// The node object in this process with the simulated arm controller serving its trajectory action (its joint states fed
// to the node as the joint-state callback would), a simulated camera publishing the simulation cloud of a scene, and
// recorders of what the node publishes: the node's action client and sensor node spin on their own threads, as in the
// program, and so does the peer. The commands are called on the test's thread, the node's main thread.
class MotionRig {
 public:
  // `spin_node` false leaves the node's executors to RosTwoWrapper::run. An empty `start` is a bent arm.
  MotionRig(Arm arm, bool real_robot, bool spin_node = true, std::vector<double> start = {},
            arm_sim::Scene scene = arm_sim::tablePillarBoxScene());
  ~MotionRig();

  RosTwoWrapper& node() { return in_process_.node(); }
  arm_sim::ArmController& controller() { return *controller_; }
  arm_sim::NodeOutputRecorders& recorders() { return *recorders_; }
  // Publishes one camera frame; true when the node publishes an obstacle cloud within `wait`.
  bool showScene(std::chrono::milliseconds wait = std::chrono::seconds(10));
  // Called with each joint state the controller publishes, after the node got it, with the number of goals accepted so
  // far.
  void onJointState(std::function<void(size_t accepted_goals)> callback) {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    on_joint_state_ = std::move(callback);
  }
  const arm_sim::JointSet& joints() const { return joints_; }
  rclcpp::Node::SharedPtr peer() const { return peer_; }
  // The node's current joints and the controller's start, within every joint's limits.
  const std::vector<double>& start() const { return start_; }

 private:
  InProcessNode in_process_;
  arm_sim::JointSet joints_;
  std::vector<double> start_;
  rclcpp::Node::SharedPtr peer_;
  std::unique_ptr<arm_sim::ArmController> controller_;
  std::unique_ptr<arm_sim::NodeOutputRecorders> recorders_;
  std::unique_ptr<arm_sim::SceneCamera> camera_;
  rclcpp::Subscription<sensor_msgs::msg::JointState>::SharedPtr joint_forwarder_;
  std::mutex hook_mutex_;
  std::function<void(size_t)> on_joint_state_;
  rclcpp::executors::SingleThreadedExecutor peer_executor_;
  // One thread per executor; each raises its flag once its spin has returned.
  struct Spinner {
    rclcpp::Executor* executor;
    std::atomic<bool> done{false};
    std::thread thread;
  };
  std::vector<std::unique_ptr<Spinner>> spinners_;
  void spin(rclcpp::Executor& executor);
};

// The full test configuration on either arm, no debug pauses, the trajectory action at kActionName.
YAML::Node motionConfig(Arm arm, bool real_robot);
constexpr const char* kActionName = "/arm/follow_joint_trajectory";

// The table-and-pillar scene in the node's obstacle map and as its latest filtered cloud. The collision world holds
// another, empty map: the commands must share theirs with it.
void fillObstacleMap(RosTwoWrapper& node);
bool straightMotionFree(RosTwoWrapper& node, const std::vector<double>& from, const std::vector<double>& to);

// Two free configurations either side of the pillar, the arm turned about its base from one to the other with the
// straight motion through the pillar, and a configuration between them inside it. Empty when the arm has none such.
// Leaves the collision world with an empty map of its own.
struct Crossing {
  std::vector<double> start, goal, inside;
};
Crossing findCrossing(MotionRig& rig);
