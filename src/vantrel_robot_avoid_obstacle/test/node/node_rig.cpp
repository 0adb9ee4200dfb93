#include "node_rig.h"

#include <gtest/gtest.h>
#include <pcl_conversions/pcl_conversions.h>

#include "arm_sim/scene.hpp"
#include "ros_test_support.hpp"

YAML::Node nodeConfig(Arm arm, bool real_robot, const std::string& change) {
  YAML::Node config = fullTestConfig(change);
  YAML::Node settings = config["robot_avoid_obstacle"];
  if (arm == Arm::Six) {
    settings["robot_descriptions_path"] = "./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/";
    settings["urdf_path"] = "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
    settings["srdf_path"] = "srdf/arm6_and_whole_gripper_linker.srdf";
  }
  settings["real_robot_flag"] = real_robot;
  settings["robot_follow_joint_trajectory_topic"] = kActionName;
  config["debug_mode"]["print_debug_flag"] = false;
  config["debug_mode"]["print_joint_state_flag"] = false;
  config["grab_garbage_module"]["tool_matrix"]["data"] =
      std::vector<double>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0.12, 0, 0, 0, 1};
  return config;
}

std::vector<double> testJoints(Arm arm) {
  std::vector<double> joints;
  for (size_t i = 0; i < (arm == Arm::Six ? 6u : 5u); ++i) joints.push_back((i % 2 ? -0.3 : 0.4) + 0.1 * i);
  return joints;
}

Eigen::Isometry3d cameraLookingAt(const Eigen::Vector3d& eye, const Eigen::Vector3d& target) {
  const Eigen::Vector3d z = (target - eye).normalized();
  const Eigen::Vector3d up = std::abs(z.z()) > 0.9 ? Eigen::Vector3d::UnitX() : Eigen::Vector3d::UnitZ();
  const Eigen::Vector3d x = z.cross(up).normalized();
  Eigen::Isometry3d camera_to_base = Eigen::Isometry3d::Identity();
  camera_to_base.linear() << x, z.cross(x), z;
  camera_to_base.translation() = eye;
  return camera_to_base;
}

void placeCameras(YAML::Node& config, Arm arm, const std::vector<Eigen::Isometry3d>& views, int cameras) {
  const YAML::Node settings = config["robot_avoid_obstacle"];
  testing::internal::CaptureStdout();
  ManipulatorPlanScene scene(settings["robot_descriptions_path"].as<std::string>(),
                             settings["urdf_path"].as<std::string>(), settings["srdf_path"].as<std::string>(),
                             settings["planned_joint_group"].as<std::string>(), 0.0, 1.0);
  testing::internal::GetCapturedStdout();
  Eigen::MatrixXd pose;
  scene.getPlanningGroup()->forwardKinematics(testJoints(arm), pose);
  const Eigen::Isometry3d flange{Eigen::Matrix4d(pose)};
  for (int camera = 1; camera <= cameras; ++camera) {
    const Eigen::Isometry3d& view = views[camera - 1];
    const Eigen::Matrix4d extrinsic = (cameras == 1 || camera == 3 ? flange.inverse() * view : view).matrix();
    std::vector<double> row_major;
    for (int row = 0; row < 4; ++row)
      for (int column = 0; column < 4; ++column) row_major.push_back(extrinsic(row, column));
    config["color_camera" + std::to_string(camera)]["camera_extrinsic"]["data"] = row_major;
  }
}

NodeRig::NodeRig(const YAML::Node& config, std::vector<double> start, arm_sim::Scene scene, Spin spin_as)
    : in_process_(config), start_(std::move(start)) {
  EXPECT_TRUE(node().isReady()) << in_process_.output();
  std::vector<std::pair<double, double>> limits;
  Access::scene(node()).getJointLimits(limits);
  joints_.names = Access::scene(node()).getPlanningGroup()->getActiveJointModelNames();
  for (const auto& [lower, upper] : limits) joints_.limits.push_back({lower, upper});
  if (start_.empty()) {
    // A bent arm, clear of the floor and of itself.
    start_.assign(limits.size(), 0.0);
    start_[1] = -0.3;
    start_[2] = 0.9;
  }
  Access::setCurrentJoints(node(), start_);

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
        Access::setCurrentJoints(node(), state.position);
        std::lock_guard<std::mutex> lock(hook_mutex_);
        if (on_joint_state_) on_joint_state_(controller_->acceptedGoals().size());
      });
  peer_executor_.add_node(peer_);
  if (spin_as == Spin::Run) {
    spin([this] { Access::run(node()); }, [] { rclcpp::shutdown(); });
  } else {
    for (int which : {2, 3}) {
      rclcpp::Executor& executor = Access::executor(node(), which);
      spin([&executor] { executor.spin(); }, [&executor] { executor.cancel(); });
    }
  }
  spin([this] { peer_executor_.spin(); }, [this] { peer_executor_.cancel(); });
}

bool NodeRig::runEnded(std::chrono::milliseconds wait) {
  return wait_until([this] { return spinners_.front()->done.load(); }, wait);
}

bool NodeRig::showScene(std::chrono::milliseconds wait) {
  const size_t before = recorders_->obstacle_cloud.count();
  camera_->publishSimulationCloud(builtin_interfaces::msg::Time());
  return recorders_->obstacle_cloud.waitForCount(before + 1, wait);
}

namespace {

sensor_msgs::msg::PointCloud2 cloudMessageOf(const arm_sim::Scene& scene) {
  sensor_msgs::msg::PointCloud2 message;
  pcl::toROSMsg(arm_sim::sampleSurfaces(scene, 0.01), message);
  message.header.frame_id = "base_link";
  return message;
}

}  // namespace

bool NodeRig::showScene(const arm_sim::Scene& scene) {
  const size_t before = recorders_->obstacle_cloud.count();
  scenePublisher()->publish(cloudMessageOf(scene));
  return recorders_->obstacle_cloud.waitForCount(before + 1, kHangTimeout);
}

void NodeRig::showSceneEvery(const arm_sim::Scene& scene, std::chrono::milliseconds period) {
  auto message = std::make_shared<sensor_msgs::msg::PointCloud2>(cloudMessageOf(scene));
  live_camera_ =
      peer_->create_wall_timer(period, [publisher = scenePublisher(), message] { publisher->publish(*message); });
}

bool NodeRig::waitForMapOf(const arm_sim::Scene& scene, std::chrono::milliseconds wait) {
  return waitForMapOf(scene, recorders_->obstacle_cloud.count(), wait);
}

bool NodeRig::showAfresh(const arm_sim::Scene& scene) {
  const size_t seen = recorders_->obstacle_cloud.count();
  scenePublisher()->publish(cloudMessageOf(scene));
  return waitForMapOf(scene, seen, kHangTimeout);
}

bool NodeRig::waitForMapOf(const arm_sim::Scene& scene, size_t seen, std::chrono::milliseconds wait) {
  const size_t points = arm_sim::sampleSurfaces(scene, 0.01).size();
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const auto left = std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                  deadline - std::chrono::steady_clock::now()));
    if (!recorders_->obstacle_cloud.waitForCount(seen + 1, left)) return false;
    // The newest kept clouds, those that came since the last look.
    const size_t count = recorders_->obstacle_cloud.count();
    const auto kept = recorders_->obstacle_cloud.messages();
    if (recorders_->obstacle_cloud.count() != count) continue;
    const size_t fresh = std::min(count - seen, kept.size());
    for (auto cloud = kept.end() - fresh; cloud != kept.end(); ++cloud) {
      if (size_t{(*cloud)->width} * (*cloud)->height == points) return true;
    }
    seen = count;
  }
}

rclcpp::Publisher<sensor_msgs::msg::PointCloud2>::SharedPtr NodeRig::scenePublisher() {
  if (!scene_publisher_) {
    scene_publisher_ = peer_->create_publisher<sensor_msgs::msg::PointCloud2>("/pointcloud/output", 10);
  }
  return scene_publisher_;
}

void NodeRig::spin(std::function<void()> work, std::function<void()> stop) {
  auto spinner = std::make_unique<Spinner>();
  spinner->stop = std::move(stop);
  spinner->thread = std::thread([work = std::move(work), done = &spinner->done] {
    work();
    *done = true;
  });
  spinners_.push_back(std::move(spinner));
}

NodeRig::~NodeRig() {
  // A cancel that comes before its spin has started is not seen: repeat it until the spin has returned.
  for (auto& spinner : spinners_) {
    while (!spinner->done) {
      spinner->stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    spinner->thread.join();
  }
  joint_forwarder_.reset();
  live_camera_.reset();
  scene_publisher_.reset();
  camera_.reset();
  controller_.reset();
  recorders_.reset();
}

void fillObstacleMap(RosTwoWrapper& node) {
  const auto cloud = arm_sim::sampleSurfaces(arm_sim::tablePillarBoxScene(), 0.01);
  Access::withObstacleMap(node, [&cloud](auto& tree, auto& filtered, auto& scene) {
    for (const auto& p : cloud.points) tree->updateNode(octomap::point3d(p.x, p.y, p.z), true, false);
    tree->updateInnerOccupancy();
    filtered = cloud;
    scene.updateWorldOctomap(std::make_shared<octomap::OcTree>(0.01));
  });
}

Crossing findCrossing(NodeRig& rig) {
  RosTwoWrapper& node = rig.node();
  // Judged against the pillar itself, not against what the commands will do with the map.
  Access::withObstacleMap(node, [](auto& tree, auto&, auto& scene) { scene.updateWorldOctomap(tree); });
  const auto stateFree = [&node](std::vector<double> q) {
    bool free = false;
    Access::withObstacleMap(node, [&](auto&, auto&, auto& scene) { free = scene.isStateValid(q.data()); });
    return free;
  };
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
      if (stateFree(start) && stateFree(goal) && !stateFree(middle)) {
        found = {start, goal, middle};
        break;
      }
    }
    if (!found.start.empty()) break;
  }
  Access::withObstacleMap(node, [](auto&, auto&, auto& scene) {
    scene.updateWorldOctomap(std::make_shared<octomap::OcTree>(0.01));
  });
  return found;
}

arm_sim::PathClearance clearanceFrom(NodeRig& rig, const Access::Cloud& cloud,
                                     const robot_model::core::AttachedBody* held) {
  ManipulatorPlanScene& scene = Access::scene(rig.node());
  arm_sim::PathClearance clearance(scene.getRobotModel(), scene.getPlanningGroup(), cloud,
                                   Access::octree(rig.node())->getResolution());
  if (held != nullptr) clearance.carry(*held);
  return clearance;
}
