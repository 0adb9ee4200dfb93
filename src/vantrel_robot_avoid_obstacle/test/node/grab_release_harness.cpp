#include "grab_release_harness.h"

namespace {

YAML::Node grabConfig(Arm arm, const Eigen::Matrix4d& tool_matrix, bool real_robot) {
  YAML::Node config = motionConfig(arm, real_robot);
  std::vector<double> data;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) data.push_back(tool_matrix(row, column));
  }
  config["grab_garbage_module"]["tool_matrix"]["data"] = data;
  return config;
}

}  // namespace

GrabWorld::GrabWorld(Arm arm, const Eigen::Matrix4d& tool_matrix, const std::vector<double>& start, bool real_robot)
    : node_(std::make_unique<InProcessNode>(grabConfig(arm, tool_matrix, real_robot))),
      peer_(std::make_shared<rclcpp::Node>("grab_world_peer")) {
  arm_sim::ArmControllerConfig controller;
  controller.action_name = kActionName;
  controller.joint_states_topic = "/grab_world/joint_states";
  std::vector<std::pair<double, double>> limits;
  GrabReleaseTestAccess::scene(node()).getJointLimits(limits);
  controller.joints.names = GrabReleaseTestAccess::scene(node()).getPlanningGroup()->getActiveJointModelNames();
  for (const auto& [lower, upper] : limits) controller.joints.limits.push_back({lower, upper});
  controller.start_positions = start;
  controller.speed_factor = 20.0;
  controller_ = std::make_unique<arm_sim::ArmController>(peer_, controller);
  recorders_ = std::make_unique<arm_sim::NodeOutputRecorders>(peer_);
  GrabReleaseTestAccess::setJoints(node(), start);
  joint_forwarder_ = peer_->create_subscription<sensor_msgs::msg::JointState>(
      controller.joint_states_topic, rclcpp::QoS(10), [this](const sensor_msgs::msg::JointState& state) {
        GrabReleaseTestAccess::setJoints(node(), state.position);
        std::lock_guard<std::mutex> lock(hook_mutex_);
        if (on_joint_state_) on_joint_state_(controller_->acceptedGoals().size());
      });
  peer_executor_.add_node(peer_);
  peer_thread_ = std::thread([this] { peer_executor_.spin(); });
  node_thread_ = std::thread([this] { RosTwoWrapperTestAccess::run(node()); });
}

GrabWorld::~GrabWorld() {
  rclcpp::shutdown();
  node_thread_.join();
  peer_executor_.cancel();
  peer_thread_.join();
  joint_forwarder_.reset();
  controller_.reset();
  recorders_.reset();
}
