#include "motion_rig.h"

#include "arm_sim/scene.hpp"

YAML::Node motionConfig(Arm arm, bool real_robot) {
  YAML::Node config = fullTestConfig();
  if (arm == Arm::Six) useArm6(config, "./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/");
  config["robot_avoid_obstacle"]["real_robot_flag"] = real_robot;
  config["robot_avoid_obstacle"]["robot_follow_joint_trajectory_topic"] = kActionName;
  config["debug_mode"]["print_debug_flag"] = false;
  config["debug_mode"]["print_joint_state_flag"] = false;
  // The tool 12 cm beyond the flange, along its axis.
  config["grab_garbage_module"]["tool_matrix"]["data"] =
      std::vector<double>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0.12, 0, 0, 0, 1};
  return config;
}

MotionRig::MotionRig(Arm arm, bool real_robot, bool spin_node, std::vector<double> start, arm_sim::Scene scene)
    : in_process_(motionConfig(arm, real_robot)), start_(std::move(start)) {
  std::vector<std::pair<double, double>> limits;
  MotionTestAccess::scene(node()).getJointLimits(limits);
  joints_.names = MotionTestAccess::scene(node()).getPlanningGroup()->getActiveJointModelNames();
  for (const auto& [lower, upper] : limits) joints_.limits.push_back({lower, upper});
  if (start_.empty()) {
    // A bent arm, clear of the floor and of itself.
    start_.assign(limits.size(), 0.0);
    start_[1] = -0.3;
    start_[2] = 0.9;
  }
  MotionTestAccess::setCurrentJoints(node(), start_);

  peer_ = std::make_shared<rclcpp::Node>("arm_controller");
  arm_sim::ArmControllerConfig controller_config;
  controller_config.action_name = kActionName;
  controller_config.joint_states_topic = "/peer/joint_states";
  controller_config.joints = joints_;
  controller_config.start_positions = start_;
  controller_config.speed_factor = 20.0;
  controller_ = std::make_unique<arm_sim::ArmController>(peer_, controller_config);
  recorders_ = std::make_unique<arm_sim::NodeOutputRecorders>(peer_);
  arm_sim::SceneCameraConfig camera_config;
  camera_config.base_frame_id = "base_link";
  camera_ = std::make_unique<arm_sim::SceneCamera>(peer_, std::move(scene), camera_config);
  joint_forwarder_ = peer_->create_subscription<sensor_msgs::msg::JointState>(
      controller_config.joint_states_topic, rclcpp::QoS(10), [this](const sensor_msgs::msg::JointState& state) {
        MotionTestAccess::setCurrentJoints(node(), state.position);
        std::lock_guard<std::mutex> lock(hook_mutex_);
        if (on_joint_state_) on_joint_state_(controller_->acceptedGoals().size());
      });
  peer_executor_.add_node(peer_);
  if (spin_node) {
    spin(MotionTestAccess::executor(node(), 2));
    spin(MotionTestAccess::executor(node(), 3));
  }
  spin(peer_executor_);
}

bool MotionRig::showScene(std::chrono::milliseconds wait) {
  const size_t before = recorders_->obstacle_cloud.count();
  camera_->publishSimulationCloud(builtin_interfaces::msg::Time());
  return recorders_->obstacle_cloud.waitForCount(before + 1, wait);
}

void MotionRig::spin(rclcpp::Executor& executor) {
  auto spinner = std::make_unique<Spinner>();
  spinner->executor = &executor;
  spinner->thread = std::thread([&executor, done = &spinner->done] {
    executor.spin();
    *done = true;
  });
  spinners_.push_back(std::move(spinner));
}

MotionRig::~MotionRig() {
  // A cancel that comes before its spin has started is not seen: repeat it until the spin has returned.
  for (auto& spinner : spinners_) {
    while (!spinner->done) {
      spinner->executor->cancel();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    spinner->thread.join();
  }
  joint_forwarder_.reset();
  camera_.reset();
  controller_.reset();
  recorders_.reset();
}

void fillObstacleMap(RosTwoWrapper& node) {
  const auto cloud = arm_sim::sampleSurfaces(arm_sim::tablePillarBoxScene(), 0.01);
  std::lock_guard<std::mutex> lock(MotionTestAccess::sceneMutex(node));
  octomap::OcTree& tree = *MotionTestAccess::octree(node);
  for (const auto& p : cloud.points) tree.updateNode(octomap::point3d(p.x, p.y, p.z), true, false);
  tree.updateInnerOccupancy();
  MotionTestAccess::filteredCloud(node) = cloud;
  MotionTestAccess::scene(node).updateWorldOctomap(std::make_shared<octomap::OcTree>(0.01));
}

bool straightMotionFree(RosTwoWrapper& node, const std::vector<double>& from, const std::vector<double>& to) {
  std::lock_guard<std::mutex> lock(MotionTestAccess::sceneMutex(node));
  return MotionTestAccess::scene(node).checkMotion(from.data(), to.data());
}

namespace {

void putIntoWorld(RosTwoWrapper& node, const std::shared_ptr<const octomap::OcTree>& tree) {
  std::lock_guard<std::mutex> lock(MotionTestAccess::sceneMutex(node));
  MotionTestAccess::scene(node).updateWorldOctomap(tree);
}

bool stateFree(RosTwoWrapper& node, std::vector<double> q) {
  std::lock_guard<std::mutex> lock(MotionTestAccess::sceneMutex(node));
  return MotionTestAccess::scene(node).isStateValid(q.data());
}

}  // namespace

Crossing findCrossing(MotionRig& rig) {
  RosTwoWrapper& node = rig.node();
  // Judged against the pillar itself, not against what the commands will do with the map.
  putIntoWorld(node, MotionTestAccess::octree(node));
  const size_t n = rig.start().size();
  Crossing found;
  for (double shoulder : {0.3, 0.5, 0.7, 0.9, -0.3, -0.5, -0.7, -0.9}) {
    for (double elbow : {0.3, 0.6, 0.9, 1.2, -0.3, -0.6, -0.9, -1.2}) {
      std::vector<double> start(n, 0.0);
      start[0] = -0.8;
      start[1] = shoulder;
      start[2] = elbow;
      std::vector<double> goal = start;
      goal[0] = 0.8;
      std::vector<double> middle = start;
      middle[0] = 0.0;
      if (stateFree(node, start) && stateFree(node, goal) && !stateFree(node, middle)) {
        found = {start, goal, middle};
        break;
      }
    }
    if (!found.start.empty()) break;
  }
  putIntoWorld(node, std::make_shared<octomap::OcTree>(0.01));
  return found;
}
