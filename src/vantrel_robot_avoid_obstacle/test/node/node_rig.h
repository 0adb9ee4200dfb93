#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "arm_sim/arm_controller.hpp"
#include "arm_sim/path_clearance.hpp"
#include "arm_sim/scene_camera.hpp"
#include "arm_sim/topic_recorders.hpp"
#include "support/in_process_node.h"

enum class Arm { Five, Six };
inline const char* armName(Arm arm) { return arm == Arm::Six ? "arm6" : "arm5"; }
constexpr const char* kActionName = "/arm/follow_joint_trajectory";

// The full test configuration with `change` written over it, on either arm, no debug pauses, the trajectory action at
// kActionName and the tool 12 cm beyond the flange.
YAML::Node nodeConfig(Arm arm, bool real_robot, const std::string& change = "{}");
// Away from zero so that an arm-mounted camera's pose depends on every joint.
std::vector<double> testJoints(Arm arm);
// Camera to base of a camera at `eye` whose optical axis (z) points at `target`, x to the right, y down.
Eigen::Isometry3d cameraLookingAt(const Eigen::Vector3d& eye, const Eigen::Vector3d& target);
// The extrinsics of the first `cameras` views: the single camera and camera 3 ride on the arm, so theirs are relative
// to the flange at testJoints.
void placeCameras(YAML::Node& config, Arm arm, const std::vector<Eigen::Isometry3d>& views, int cameras);

// The node object in this process with its simulated peers on one peer node spun on its own thread: the arm controller
// serving the trajectory action (its joint states fed to the node as the joint-state callback would), a camera
// publishing the simulation cloud of a scene, and recorders of what the node publishes.
class NodeRig {
 public:
  // Executors: the node's action client and sensor node spin on threads of their own and the commands are called on the
  // test's thread, the node's main thread. Run: the node's run loop on its own thread, as in the program.
  enum class Spin { Executors, Run };
  // An empty `start` is a bent arm.
  explicit NodeRig(const YAML::Node& config, std::vector<double> start = {},
                   arm_sim::Scene scene = arm_sim::tablePillarBoxScene(), Spin spin = Spin::Executors);
  ~NodeRig();

  RosTwoWrapper& node() { return in_process_.node(); }
  arm_sim::ArmController& controller() { return *controller_; }
  arm_sim::NodeOutputRecorders& recorders() { return *recorders_; }
  // Publishes one camera frame; true when the node publishes an obstacle cloud within `wait`.
  bool showScene(std::chrono::milliseconds wait = std::chrono::seconds(60));
  // The same for another scene, as the simulation camera would show it.
  bool showScene(const arm_sim::Scene& scene);
  // From now on the scene's cloud every `period`, as a live camera sends it, until the rig goes.
  void showSceneEvery(const arm_sim::Scene& scene, std::chrono::milliseconds period);
  // True once the node has published the obstacle cloud of the scene's cloud, within `wait`: a cloud a command
  // published is not taken for it, however late it arrives.
  bool waitForMapOf(const arm_sim::Scene& scene, std::chrono::milliseconds wait = std::chrono::seconds(60));
  // Publishes the scene's cloud once and waits for its obstacle cloud the same way.
  bool showAfresh(const arm_sim::Scene& scene);
  // Called with each joint state the controller publishes, after the node got it, with the number of goals accepted so
  // far.
  void onJointState(std::function<void(size_t accepted_goals)> callback) {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    on_joint_state_ = std::move(callback);
  }
  // Under Spin::Run: whether the run loop has returned within `wait`.
  bool runEnded(std::chrono::milliseconds wait);
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
  rclcpp::Publisher<sensor_msgs::msg::PointCloud2>::SharedPtr scene_publisher_;
  rclcpp::TimerBase::SharedPtr live_camera_;
  rclcpp::Publisher<sensor_msgs::msg::PointCloud2>::SharedPtr scenePublisher();
  // The same, among the obstacle clouds after the first `seen`.
  bool waitForMapOf(const arm_sim::Scene& scene, size_t seen, std::chrono::milliseconds wait);
  rclcpp::Subscription<sensor_msgs::msg::JointState>::SharedPtr joint_forwarder_;
  std::mutex hook_mutex_;
  std::function<void(size_t)> on_joint_state_;
  rclcpp::executors::SingleThreadedExecutor peer_executor_;
  // One thread per spin, the node's first; each raises its flag once its spin has returned.
  struct Spinner {
    std::function<void()> stop;
    std::atomic<bool> done{false};
    std::thread thread;
  };
  std::vector<std::unique_ptr<Spinner>> spinners_;
  void spin(std::function<void()> work, std::function<void()> stop);
};

// The table-and-pillar scene in the node's obstacle map and as its latest filtered cloud. The collision world holds
// another, empty map: the commands must share theirs with it.
void fillObstacleMap(RosTwoWrapper& node);

// Two free configurations either side of the pillar, the arm turned about its base from one to the other with the
// straight motion through the pillar, and a configuration between them inside it. Empty when the arm has none such.
// Leaves the collision world with an empty map of its own.
struct Crossing {
  std::vector<double> start, goal, inside;
};
Crossing findCrossing(NodeRig& rig);

using Access = RosTwoWrapperTestAccess;

// The arm's bare collision bodies, with `held` carried when it is given, against `cloud` at the node's resolution.
arm_sim::PathClearance clearanceFrom(NodeRig& rig, const Access::Cloud& cloud,
                                     const robot_model::core::AttachedBody* held = nullptr);

// `call`'s result, the node's console output kept out of the test's.
template <typename Call>
auto quietly(Call call) {
  testing::internal::CaptureStdout();
  auto result = call();
  testing::internal::GetCapturedStdout();
  return result;
}

inline Access::ArmMoveJoints::Request jointRequest(const std::vector<double>& joints, int32_t cmd_type = 0) {
  Access::ArmMoveJoints::Request request;
  request.cmd_type = cmd_type;
  request.joints.data = joints;
  return request;
}

inline Access::ArmMoveJoints::Request poseRequest(const std::array<double, 7>& pose) {
  Access::ArmMoveJoints::Request request;
  request.cmd_type = 1;
  std::copy(pose.begin(), pose.end(), request.pose.begin());
  return request;
}

inline sensor_msgs::msg::JointState jointState(std::vector<std::string> names, std::vector<double> positions) {
  sensor_msgs::msg::JointState state;
  state.name = std::move(names);
  state.position = std::move(positions);
  return state;
}

inline Access::Release::Request releaseTo(const std::vector<double>& joints) {
  Access::Release::Request request;
  request.release_joints.data = joints;
  return request;
}
