// The sensor road of the running node against simulated peers, on both arms: a known box seen by one, two or three
// cameras, as clouds or as depth images; the simulation cloud; joint states. What they carry lands where it is in
// "/obstacle_pointcloud", in the octree and in the collision world.
#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pcl_conversions/pcl_conversions.h>

#include "support/node_process.h"
#include "support/sensor_peers.h"

namespace {

using namespace std::chrono_literals;
using sensor_msgs::msg::JointState;

constexpr double kResolution = 0.01;
const char* const kArm5 = "./src/robot_avoid_obstacle/resources/robot_descriptions/arm5_description/";
const char* const kArm6 = "./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/";
const arm_sim::PinholeIntrinsics kIntrinsics{150.0, 80.0, 150.0, 60.0, 160, 120};
const arm_sim::Cuboid kBox{{0.42, -0.08, 0.22}, {0.58, 0.08, 0.38}};

struct CameraSetup {
  int cameras;
  int source;  // 1 clouds, 2 depth images
  bool arm6;
};

// Camera 1 in front of the box, camera 2 beside it, camera 3 above it.
std::vector<Eigen::Isometry3d> cameraViews() {
  const Eigen::Vector3d centre = (kBox.min + kBox.max) / 2;
  return {cameraLookingAt(centre + Eigen::Vector3d(0.6, 0, 0), centre),
          cameraLookingAt(centre + Eigen::Vector3d(0, 0.6, 0), centre),
          cameraLookingAt(centre + Eigen::Vector3d(0, 0, 0.6), centre)};
}

// The test configuration on either arm, quiet about joint states; with cameras, a box of 4 m and a 1 cm octree.
YAML::Node sensorConfig(const CameraSetup& setup, const Arm* arm) {
  YAML::Node config = fullTestConfig(
      std::string("{robot_avoid_obstacle: {real_robot_flag: ") + (arm ? "true" : "false") + ", cameras_num: " +
      std::to_string(setup.cameras) + ", pointcloud_input_source: " + std::to_string(setup.source) +
      "}, debug_mode: {print_joint_state_flag: false}, point_clouds: {resolution: 0.01, point_cloud_minx: -2, "
      "point_cloud_maxx: 2, point_cloud_miny: -2, point_cloud_maxy: 2, point_cloud_minz: -2, point_cloud_maxz: 2}}");
  if (setup.arm6) useArm6(config, kArm6);
  for (int camera = 1; camera <= 3 && arm != nullptr; ++camera) {
    // The single camera and camera 3 ride on the arm: their extrinsics are relative to the flange.
    const bool arm_mounted = setup.cameras == 1 || camera == 3;
    const Eigen::Isometry3d view = cameraViews()[camera - 1];
    YAML::Node entry = config["color_camera" + std::to_string(camera)];
    entry["camera_extrinsic"]["data"] = rowMajor(arm_mounted ? arm->flange_pose.inverse() * view : view);
    entry["camera_intrinsic"] = YAML::Load("{fx: 150, cx: 80, fy: 150, cy: 60, k1: 0, k2: 0, p1: 0, p2: 0, k3: 0}");
  }
  return config;
}

// One simulated camera per configured camera, each with its own stamp.
struct Cameras {
  Cameras(const rclcpp::Node::SharedPtr& peer, const YAML::Node& config, int count, int source) : source(source) {
    for (int camera = 1; camera <= count; ++camera) {
      const YAML::Node entry = config["color_camera" + std::to_string(camera)];
      arm_sim::SceneCameraConfig camera_config;
      camera_config.simulation_topic = "/unused_" + std::to_string(camera);
      camera_config.cameras.push_back({entry["ros2_topic"].as<std::string>(), entry["depth_topic"].as<std::string>(),
                                       "camera", {kIntrinsics, cameraViews()[camera - 1]}});
      scene_cameras.emplace_back(std::make_unique<arm_sim::SceneCamera>(peer, arm_sim::Scene{{kBox}}, camera_config));
    }
  }
  void publish(const std::vector<int32_t>& seconds) {
    for (size_t camera = 0; camera < scene_cameras.size(); ++camera) {
      builtin_interfaces::msg::Time stamp;
      stamp.sec = seconds[camera];
      source == 1 ? scene_cameras[camera]->publishCameraClouds(stamp)
                  : scene_cameras[camera]->publishDepthImages(stamp);
    }
  }
  int source;
  std::vector<std::unique_ptr<arm_sim::SceneCamera>> scene_cameras;
};

bool nearBox(double x, double y, double z, double half_size) {
  const double margin = kResolution + half_size;
  return x > kBox.min.x() - margin && x < kBox.max.x() + margin && y > kBox.min.y() - margin &&
         y < kBox.max.y() + margin && z > kBox.min.z() - margin && z < kBox.max.z() + margin;
}

JointState jointState(std::vector<std::string> names, std::vector<double> positions) {
  JointState state;
  state.name = std::move(names);
  state.position = std::move(positions);
  return state;
}

TEST(SensorRoad, BoxSeenByEachCameraLandsWhereItIsAndTheFrozenMapStays) {
  const std::vector<CameraSetup> setups = {{1, 1, false}, {1, 2, true}, {2, 1, false},
                                           {2, 2, true},  {3, 1, true}, {3, 2, false}};
  for (const CameraSetup& setup : setups) {
    const std::string what =
        std::to_string(setup.cameras) + (setup.source == 1 ? " clouds " : " depth ") + (setup.arm6 ? "arm6" : "arm5");
    const Arm arm = armAt(setup.arm6 ? kArm6 : kArm5, setup.arm6);
    const YAML::Node config = sensorConfig(setup, &arm);
    RunningNodeWithPeers running(config, config["robot_avoid_obstacle"]["joints_state_topic"].as<std::string>());
    Cameras cameras(running.peer(), config, setup.cameras, setup.source);
    ASSERT_TRUE(running.moveJoints(arm.joints, testJoints(arm.joints.size()))) << what;

    auto& clouds = running.recorders().obstacle_cloud;
    cameras.publish({100, 100, 100});
    ASSERT_TRUE(clouds.waitForCount(1, 20s)) << what;
    const auto message = clouds.messages().back();
    EXPECT_EQ(message->header.frame_id, "base_link") << what;
    pcl::PointCloud<pcl::PointXYZ> published;
    pcl::fromROSMsg(*message, published);
    EXPECT_GT(published.size(), 150u * setup.cameras) << what;
    for (const pcl::PointXYZ& point : published) ASSERT_TRUE(nearBox(point.x, point.y, point.z, 0.0)) << what;

    // Every occupied cell lies within one voxel of the box, and each camera's face of the box (16 x 16 voxels) is
    // covered.
    RosTwoWrapper& node = running.node();
    RosTwoWrapperTestAccess::withObstacleMap(node, [&](const auto& tree, const auto& cloud, const auto& scene) {
      EXPECT_EQ(cloud.size(), published.size()) << what;
      EXPECT_TRUE(scene.worldHoldsOctomap(tree)) << what;
      int faces[3] = {0, 0, 0};
      for (auto leaf = tree->begin_leafs(); leaf != tree->end_leafs(); ++leaf) {
        if (!tree->isNodeOccupied(*leaf)) continue;
        EXPECT_TRUE(nearBox(leaf.getX(), leaf.getY(), leaf.getZ(), leaf.getSize() / 2)) << what;
        faces[0] += std::abs(leaf.getX() - kBox.max.x()) < kResolution;
        faces[1] += std::abs(leaf.getY() - kBox.max.y()) < kResolution;
        faces[2] += std::abs(leaf.getZ() - kBox.max.z()) < kResolution;
      }
      for (int camera = 0; camera < setup.cameras; ++camera) EXPECT_GT(faces[camera], 150) << what << camera + 1;
    });
    if (setup.cameras != 2 || setup.source != 1) continue;

    // Stamps 6 s apart never pair. While the map is frozen a set changes nothing; afterwards it is taken again.
    cameras.publish({200, 206});
    cameras.publish({300, 300});
    ASSERT_TRUE(clouds.waitForCount(2, 20s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(clouds.count(), 2u);
    size_t leaves = 0;
    RosTwoWrapperTestAccess::withObstacleMap(node, [&](const auto& tree, const auto&, const auto&) {
      leaves = tree->getNumLeafNodes();
    });
    RosTwoWrapperTestAccess::freezeObstacleMap(node, true);
    cameras.publish({400, 400});
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(clouds.count(), 2u);
    RosTwoWrapperTestAccess::withObstacleMap(node, [&](const auto& tree, const auto& cloud, const auto&) {
      EXPECT_EQ(tree->getNumLeafNodes(), leaves);
      EXPECT_FALSE(cloud.empty());
    });
    RosTwoWrapperTestAccess::freezeObstacleMap(node, false);
    cameras.publish({500, 500});
    EXPECT_TRUE(clouds.waitForCount(3, 20s));
  }
}


// In simulation: joint states by name (reversed, a joint outside the group first) or by position (extra values
// ignored) set the current joints and publish the description and one "/tf" transform per group link; incomplete or
// non-finite ones are dropped with a message. The cloud is taken as it is but for points that are not finite, held
// by the collision world from the first cloud on and refilled live while state checks read it; a message that
// cannot be read is dropped. The robot description parameter fills once the node runs.
TEST(SensorRoad, SimulationJointStatesAndCloudsReachTheCollisionWorld) {
  for (const bool arm6 : {false, true}) {
    const std::string what = arm6 ? "arm6" : "arm5";
    RunningNodeWithPeers running(sensorConfig({0, 1, arm6}, nullptr), "/arm5/joint_states");
    RosTwoWrapper& node = running.node();
    arm_sim::NodeOutputRecorders& recorders = running.recorders();
    std::vector<std::string> joints;
    std::vector<std::string> links;
    Eigen::Vector3d link_position;  // at zero joints
    RosTwoWrapperTestAccess::withObstacleMap(node, [&](const auto& tree, const auto&, auto& scene) {
      joints = scene.getPlanningGroup()->getActiveJointModelNames();
      links = scene.getPlanningGroup()->getLinkModelNames();
      link_position = scene.getRobotState()->getGlobalLinkTransform(scene.getRobotModel()->getLinkModel(links[2]))
                          .translation();
      EXPECT_FALSE(scene.worldHoldsOctomap(tree)) << what;
    });
    const size_t n = joints.size();
    std::vector<double> expected;
    JointState named = jointState({"not_in_group"}, {9.0});
    for (size_t i = 0; i < n; ++i) expected.push_back(0.25 * (i + 1) - 1.0);
    named.name.insert(named.name.end(), joints.rbegin(), joints.rend());
    named.position.insert(named.position.end(), expected.rbegin(), expected.rend());
    RosTwoWrapperTestAccess::jointState(node, named);
    EXPECT_EQ(RosTwoWrapperTestAccess::currentJoints(node), expected) << what;
    ASSERT_TRUE(recorders.tf.waitForCount(1, 5s) && recorders.robot_description.waitForCount(1, 5s)) << what;
    EXPECT_EQ(recorders.robot_description.messages().back()->data, RosTwoWrapperTestAccess::robotDescription(node));
    std::vector<std::string> children;
    for (const auto& transform : recorders.tf.messages().back()->transforms) {
      EXPECT_EQ(transform.header.frame_id, "base_link") << what;
      children.push_back(transform.child_frame_id);
    }
    EXPECT_EQ(children, links) << what;
    std::vector<double> longer = {0.5, -0.5, 1.5, -1.5, 0.0, 3.0, 2.0, 1.0};
    RosTwoWrapperTestAccess::jointState(node, jointState({}, longer));
    longer.resize(n);
    EXPECT_EQ(RosTwoWrapperTestAccess::currentJoints(node), longer) << what;
    std::vector<double> with_nan = expected;
    with_nan[n - 1] = std::numeric_limits<double>::quiet_NaN();
    std::vector<std::string> renamed = joints;
    renamed[1] = "renamed";
    testing::internal::CaptureStdout();
    for (const JointState& state : {jointState({}, std::vector<double>(n - 1, 0.1)), jointState(renamed, expected),
                                    jointState(joints, std::vector<double>(n - 1, 0.1)), jointState(joints, with_nan),
                                    jointState({}, with_nan)}) {
      RosTwoWrapperTestAccess::jointState(node, state);
    }
    EXPECT_EQ(occurrences(testing::internal::GetCapturedStdout(), "joint state dropped: "), 5) << what;
    EXPECT_EQ(RosTwoWrapperTestAccess::currentJoints(node), longer) << what;

    // A cube around a link of the arm at its zero joints, some points not finite; then one that claims 2^32 points.
    const std::vector<double> zeros(n, 0.0);
    const Eigen::Vector3d half(0.03, 0.03, 0.03);
    pcl::PointCloud<pcl::PointXYZ> cube =
        arm_sim::sampleSurfaces(arm_sim::Scene{{{link_position - half, link_position + half}}}, 0.005);
    const size_t finite = cube.size();
    const float inf = std::numeric_limits<float>::infinity();
    cube.emplace_back(std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f);
    cube.emplace_back(inf, -inf, inf);
    sensor_msgs::msg::PointCloud2 message;
    sensor_msgs::msg::PointCloud2 empty;
    pcl::toROSMsg(cube, message);
    pcl::toROSMsg(pcl::PointCloud<pcl::PointXYZ>(), empty);
    sensor_msgs::msg::PointCloud2 unreadable = empty;
    unreadable.width = unreadable.height = 65536;
    auto publisher = running.peer()->create_publisher<sensor_msgs::msg::PointCloud2>("/pointcloud/output", 10);
    const auto publishAndWait = [&](const sensor_msgs::msg::PointCloud2& cloud) {
      const size_t count = recorders.obstacle_cloud.count();
      publisher->publish(cloud);
      // State checks read the tree on this thread while the node refills it.
      for (const auto deadline = std::chrono::steady_clock::now() + 20s;
           recorders.obstacle_cloud.count() == count && std::chrono::steady_clock::now() < deadline;) {
        RosTwoWrapperTestAccess::withObstacleMap(node, [&](const auto&, const auto&, auto& scene) {
          scene.isStateValid(zeros.data());
        });
      }
      return recorders.obstacle_cloud.count() == count + 1;
    };
    testing::internal::CaptureStdout();
    publisher->publish(unreadable);
    ASSERT_TRUE(publishAndWait(message)) << what;
    EXPECT_EQ(occurrences(testing::internal::GetCapturedStdout(), "point cloud dropped: "), 1) << what;
    EXPECT_EQ(recorders.obstacle_cloud.count(), 1u) << what;
    EXPECT_EQ(recorders.obstacle_cloud.messages().back()->width, finite) << what;
    RosTwoWrapperTestAccess::withObstacleMap(node, [&](const auto& tree, const auto& obstacles, auto& scene) {
      EXPECT_EQ(obstacles.size(), finite) << what;
      EXPECT_TRUE(scene.worldHoldsOctomap(tree)) << what;
      EXPECT_FALSE(scene.isStateValid(zeros.data())) << what;
    });
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(publishAndWait(message)) << what;
    // The last, empty cloud frees the arm again.
    ASSERT_TRUE(publishAndWait(empty)) << what;
    RosTwoWrapperTestAccess::withObstacleMap(node, [&](const auto& tree, const auto& obstacles, auto& scene) {
      EXPECT_TRUE(obstacles.empty() && tree->size() == 0) << what;
      EXPECT_TRUE(scene.isStateValid(zeros.data())) << what;
    });

    rclcpp::Node& node1 = RosTwoWrapperTestAccess::node1(node);
    std::string description;
    for (const auto deadline = std::chrono::steady_clock::now() + 3s;
         description.empty() && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
      try {
        description = node1.get_parameter("/robot_description").as_string();
      } catch (const rclcpp::exceptions::ParameterUninitializedException&) {
      }
    }
    EXPECT_EQ(description, RosTwoWrapperTestAccess::robotDescription(node)) << what;
  }
}

}  // namespace
