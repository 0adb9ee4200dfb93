// What the camera streams cost the rest of the node: while three cameras stream clouds (640 x 480 points each,
// 15 frames a second) of the table, the pillar and the floor, the latency of a joint-goal command around the
// pillar (request to the trajectory goal reaching the arm controller) and of a joint state (publication to the
// link transforms it makes the node broadcast). The argument is the number of streaming cameras: 0 is the
// reference. Camera 3 rides on the arm: each of its frames is rendered from where the arm stands.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <pcl_conversions/pcl_conversions.h>

#include "bench_cameras.h"
#include "node_rig.h"

namespace {

using Clock = std::chrono::steady_clock;
using PointCloud2 = sensor_msgs::msg::PointCloud2;
using namespace std::chrono_literals;

constexpr auto kFramePeriod = 66ms;
constexpr auto kJointStatePeriod = 200ms;

arm_sim::Scene streamedScene() {
  arm_sim::Scene scene = arm_sim::tablePillarBoxScene();
  scene.solids.push_back({{-4.0, -4.0, -0.8}, {4.0, 4.0, -0.7}});
  return scene;
}

YAML::Node streamingConfig() {
  YAML::Node config = nodeConfig(Arm::Six, true);
  config["robot_avoid_obstacle"]["cameras_num"] = 3;
  config["robot_avoid_obstacle"]["pointcloud_input_source"] = 1;
  config["point_clouds"]["resolution"] = 0.005;
  for (const char* axis : {"x", "y", "z"}) {
    config["point_clouds"][std::string("point_cloud_min") + axis] = -0.85;
    config["point_clouds"][std::string("point_cloud_max") + axis] = 0.85;
  }
  placeCameras(config, Arm::Six, benchCameraViews(), 3);
  return config;
}

Eigen::Isometry3d flangeAt(ManipulatorPlanScene& scene, const std::vector<double>& joints) {
  Eigen::MatrixXd pose;
  scene.getPlanningGroup()->forwardKinematics(joints, pose);
  return Eigen::Isometry3d(Eigen::Matrix4d(pose));
}

PointCloud2 cameraMessage(const arm_sim::Scene& scene, const Eigen::Isometry3d& view) {
  PointCloud2 message;
  pcl::toROSMsg(benchCameraCloud(scene, view), message);
  return message;
}

// Publishes the three cameras' frames on the node's topics from its own thread until destroyed.
class CameraStream {
 public:
  CameraStream(NodeRig& rig, const YAML::Node& config) : rig_(rig), scene_(streamedScene()) {
    const YAML::Node settings = config["robot_avoid_obstacle"];
    testing::internal::CaptureStdout();
    kinematics_ = std::make_unique<ManipulatorPlanScene>(
        settings["robot_descriptions_path"].as<std::string>(), settings["urdf_path"].as<std::string>(),
        settings["srdf_path"].as<std::string>(), settings["planned_joint_group"].as<std::string>(), 0.0, 1.0);
    testing::internal::GetCapturedStdout();
    const std::vector<Eigen::Isometry3d> views = benchCameraViews();
    camera3_on_flange_ = flangeAt(*kinematics_, testJoints(Arm::Six)).inverse() * views[2];
    for (int camera = 1; camera <= 3; ++camera) {
      const std::string topic = config["color_camera" + std::to_string(camera)]["ros2_topic"].as<std::string>();
      publishers_.push_back(rig.peer()->create_publisher<PointCloud2>(topic, rclcpp::QoS(10)));
      if (camera < 3) frames_.push_back(cameraMessage(scene_, views[camera - 1]));
    }
    thread_ = std::thread([this] { stream(); });
  }
  ~CameraStream() {
    stop_ = true;
    thread_.join();
  }

 private:
  void stream() {
    for (auto next = Clock::now(); !stop_; next += kFramePeriod) {
      PointCloud2 camera3 =
          cameraMessage(scene_, flangeAt(*kinematics_, rig_.controller().positions()) * camera3_on_flange_);
      builtin_interfaces::msg::Time stamp;
      const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
      stamp.sec = static_cast<int32_t>(std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count());
      stamp.nanosec =
          static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch % 1s).count());
      for (PointCloud2& frame : frames_) frame.header.stamp = stamp;
      camera3.header.stamp = stamp;
      publishers_[0]->publish(frames_[0]);
      publishers_[1]->publish(frames_[1]);
      publishers_[2]->publish(camera3);
      std::this_thread::sleep_until(next + kFramePeriod);
    }
  }

  NodeRig& rig_;
  const arm_sim::Scene scene_;
  std::unique_ptr<ManipulatorPlanScene> kinematics_;
  Eigen::Isometry3d camera3_on_flange_;
  std::vector<rclcpp::Publisher<PointCloud2>::SharedPtr> publishers_;
  std::vector<PointCloud2> frames_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Publishes where the arm stands as the robot's joint state and times each until the node broadcasts its link
// transforms.
class JointStateProbe {
 public:
  JointStateProbe(NodeRig& rig, const std::string& topic)
      : rig_(rig), publisher_(rig.peer()->create_publisher<sensor_msgs::msg::JointState>(topic, rclcpp::QoS(10))) {
    thread_ = std::thread([this] { probe(); });
  }
  ~JointStateProbe() {
    stop_ = true;
    thread_.join();
  }
  std::vector<double> latenciesMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return latencies_ms_;
  }

 private:
  void probe() {
    while (!stop_) {
      const size_t before = rig_.recorders().tf.count();
      const auto sent = Clock::now();
      publisher_->publish(jointState(rig_.joints().names, rig_.controller().positions()));
      if (rig_.recorders().tf.waitForCount(before + 1, 30s)) {
        std::lock_guard<std::mutex> lock(mutex_);
        latencies_ms_.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
      }
      std::this_thread::sleep_for(kJointStatePeriod);
    }
  }

  NodeRig& rig_;
  rclcpp::Publisher<sensor_msgs::msg::JointState>::SharedPtr publisher_;
  std::mutex mutex_;
  std::vector<double> latencies_ms_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void setMedianAndMax(benchmark::State& state, const std::string& name, std::vector<double> values_ms) {
  if (values_ms.empty()) return;
  std::sort(values_ms.begin(), values_ms.end());
  state.counters[name + "_median_ms"] = values_ms[values_ms.size() / 2];
  state.counters[name + "_max_ms"] = values_ms.back();
}

void BM_CommandAndJointStateWhileCamerasStream(benchmark::State& state) {
  const YAML::Node config = streamingConfig();
  Crossing crossing;
  {
    NodeRig finder(config, {}, streamedScene());
    fillObstacleMap(finder.node());
    crossing = findCrossing(finder);
  }
  if (crossing.start.empty()) {
    state.SkipWithError("no crossing of the pillar found");
    return;
  }
  NodeRig rig(config, crossing.start, streamedScene());
  RosTwoWrapper& node = rig.node();
  fillObstacleMap(node);
  std::unique_ptr<CameraStream> cameras;
  if (state.range(0) == 3) {
    cameras = std::make_unique<CameraStream>(rig, config);
    if (!rig.recorders().obstacle_cloud.waitForCount(1, 60s)) {
      state.SkipWithError("no camera frame reached the obstacle map");
      return;
    }
  }
  JointStateProbe joint_states(rig, config["robot_avoid_obstacle"]["joints_state_topic"].as<std::string>());

  std::vector<double> command_ms;
  int failed = 0;
  bool forth = true;
  const size_t frames_before = rig.recorders().obstacle_cloud.count();
  const auto began = Clock::now();
  for (auto _ : state) {
    Access::setCurrentJoints(node, forth ? crossing.start : crossing.goal);
    const auto request = jointRequest(forth ? crossing.goal : crossing.start);
    const size_t accepted = rig.controller().acceptedGoals().size();
    std::atomic<bool> done{false};
    Clock::time_point arrived{};
    std::thread watcher([&] {
      while (!done && rig.controller().acceptedGoals().size() == accepted) std::this_thread::sleep_for(200us);
      arrived = Clock::now();
    });
    const auto sent = Clock::now();
    const int32_t code = Access::moveJoints(node, request).code;
    done = true;
    watcher.join();
    const double seconds = std::chrono::duration<double>(arrived - sent).count();
    state.SetIterationTime(seconds);
    if (code != 0) {
      // A failed command sent nothing: the arm stays where it is.
      ++failed;
      continue;
    }
    forth = !forth;
    command_ms.push_back(seconds * 1e3);
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - began).count();
  setMedianAndMax(state, "command", command_ms);
  setMedianAndMax(state, "joint_state", joint_states.latenciesMs());
  state.counters["failed_commands"] = failed;
  state.counters["map_updates_per_s"] =
      static_cast<double>(rig.recorders().obstacle_cloud.count() - frames_before) / elapsed;
}
BENCHMARK(BM_CommandAndJointStateWhileCamerasStream)
    ->Arg(0)
    ->Arg(3)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

}  // namespace
