#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "arm_sim/arm_controller.hpp"
#include "support/in_process_node.h"

// Reaches the motion members of the node object.
class MotionTestAccess {
 public:
  using Goal = control_msgs::action::FollowJointTrajectory::Goal;
  using ArmMoveJoints = vantrel_interfaces::srv::ArmMoveJoints;

  static Goal generate(RosTwoWrapper& node, const std::vector<TrajectoryPoint>& points) {
    return node.generateFollowJointTrajectoryMsg(points);
  }
  static int32_t sendGoalAndWait(RosTwoWrapper& node, const Goal& goal) {
    return node.sendGoalAndWait(goal, "cmd was rejected!", false);
  }
  static int32_t moveToGoalNotUpdateObstacle(RosTwoWrapper& node, const std::vector<double>& goal, int padding_mode,
                                             std::vector<std::vector<double>>& path) {
    return node.MoveToGoalNotUpdateObstacle(goal, padding_mode, path);
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
};

enum class Arm { Five, Six };

// The node object in this process with the simulated arm controller serving its trajectory action: the node's
// action client and sensor node spin on their own threads, as in the program, and so does the controller.
// The commands are called on the test's thread, the node's main thread.
class MotionRig {
 public:
  // `spin_node` false leaves the node's executors to RosTwoWrapper::run.
  MotionRig(Arm arm, bool real_robot, bool spin_node = true);
  ~MotionRig();

  RosTwoWrapper& node() { return in_process_.node(); }
  arm_sim::ArmController& controller() { return *controller_; }
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

// The table-and-pillar scene in the node's obstacle map and as its latest filtered cloud. The collision world
// holds another, empty map: the commands must share theirs with it.
void fillObstacleMap(RosTwoWrapper& node);
bool straightMotionFree(RosTwoWrapper& node, const std::vector<double>& from, const std::vector<double>& to);
bool stateFree(RosTwoWrapper& node, std::vector<double> q);

// Two free configurations either side of the pillar, the arm turned about its base from one to the other
// with the straight motion through the pillar, and a configuration between them inside it. Empty when the
// arm has none such.
struct Crossing {
  std::vector<double> start, goal, inside;
};
Crossing findCrossing(MotionRig& rig);
