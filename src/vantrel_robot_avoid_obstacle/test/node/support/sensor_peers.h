#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "arm_sim/scene_camera.hpp"
#include "arm_sim/topic_recorders.hpp"
#include "in_process_node.h"

// The node object running in this process (its three nodes spun as in the program) and a peer node spun on
// its own thread, with recorders of the node's output and a way to publish joint states.
class RunningNodeWithPeers {
 public:
  RunningNodeWithPeers(const YAML::Node& config, const std::string& joint_states_topic)
      : node_(config),
        peer_(std::make_shared<rclcpp::Node>("peers")),
        recorders_(peer_),
        joint_states_(peer_->create_publisher<sensor_msgs::msg::JointState>(joint_states_topic, rclcpp::QoS(10))) {
    EXPECT_TRUE(node_.node().isReady()) << node_.output();
    executor_.add_node(peer_);
    peer_thread_ = std::thread([this] { executor_.spin(); });
    node_thread_ = std::thread([this] { RosTwoWrapperTestAccess::run(node_.node()); });
  }
  ~RunningNodeWithPeers() {
    rclcpp::shutdown();
    node_thread_.join();
    executor_.cancel();
    peer_thread_.join();
  }

  RosTwoWrapper& node() { return node_.node(); }
  const rclcpp::Node::SharedPtr& peer() { return peer_; }
  arm_sim::NodeOutputRecorders& recorders() { return recorders_; }

  // Publishes the named joint state until the node holds it; false when it never does.
  bool moveJoints(const std::vector<std::string>& names, const std::vector<double>& positions) {
    sensor_msgs::msg::JointState state;
    state.name = names;
    state.position = positions;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      joint_states_->publish(state);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (RosTwoWrapperTestAccess::currentJoints(node()) == positions) return true;
    }
    return false;
  }

 private:
  InProcessNode node_;
  rclcpp::Node::SharedPtr peer_;
  arm_sim::NodeOutputRecorders recorders_;
  rclcpp::Publisher<sensor_msgs::msg::JointState>::SharedPtr joint_states_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread peer_thread_;
  std::thread node_thread_;
};

struct Arm {
  std::vector<std::string> joints;
  Eigen::Isometry3d flange_pose;  // at testJoints
};

// Away from zero so that an arm-mounted camera's pose depends on every joint.
inline std::vector<double> testJoints(size_t count) {
  std::vector<double> joints;
  for (size_t i = 0; i < count; ++i) joints.push_back((i % 2 ? -0.3 : 0.4) + 0.1 * i);
  return joints;
}

// The planned group "arm" of the five- or six-axis arm whose description lies in `directory`.
inline Arm armAt(const char* directory, bool arm6) {
  testing::internal::CaptureStdout();
  ManipulatorPlanScene scene(directory, arm6 ? "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf" : "urdf/arm5.urdf",
                             arm6 ? "srdf/arm6_and_whole_gripper_linker.srdf" : "srdf/arm5.srdf", "arm", 0.0, 1.0);
  testing::internal::GetCapturedStdout();
  const auto* group = scene.getPlanningGroup();
  Arm arm{group->getActiveJointModelNames(), Eigen::Isometry3d::Identity()};
  Eigen::MatrixXd pose;
  group->forwardKinematics(testJoints(arm.joints.size()), pose);
  arm.flange_pose.matrix() = pose;
  return arm;
}

// Camera to base of a camera at `eye` whose optical axis (z) points at `target`, x to the right, y down.
inline Eigen::Isometry3d cameraLookingAt(const Eigen::Vector3d& eye, const Eigen::Vector3d& target) {
  const Eigen::Vector3d z = (target - eye).normalized();
  const Eigen::Vector3d up = std::abs(z.z()) > 0.9 ? Eigen::Vector3d::UnitX() : Eigen::Vector3d::UnitZ();
  const Eigen::Vector3d x = z.cross(up).normalized();
  Eigen::Isometry3d camera_to_base = Eigen::Isometry3d::Identity();
  camera_to_base.linear() << x, z.cross(x), z;
  camera_to_base.translation() = eye;
  return camera_to_base;
}

// The sixteen values of a configured 4x4 matrix, row by row.
inline std::vector<double> rowMajor(const Eigen::Isometry3d& transform) {
  std::vector<double> values;
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) values.push_back(transform.matrix()(row, column));
  return values;
}
