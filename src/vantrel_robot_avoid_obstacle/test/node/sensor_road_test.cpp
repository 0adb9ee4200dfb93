// The sensor road of the running node against simulated peers, on both arms: joint states in both modes; a known box
// seen by one, two or three cameras, as clouds or as depth images; the simulation cloud. What they carry lands where
// it is in "/obstacle_pointcloud", in the octree and in the collision world.
#include <chrono>
#include <cmath>
#include <filesystem>
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
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct CameraSetup {
  int cameras;
  int source;  // 1 clouds, 2 depth images
  bool arm6;
};

// The test configuration on either arm, quiet about joint states.
YAML::Node sensorConfig(bool arm6, bool real_robot) {
  YAML::Node config = fullTestConfig();
  if (arm6) useArm6(config, kArm6);
  config["robot_avoid_obstacle"]["real_robot_flag"] = real_robot;
  config["debug_mode"]["print_joint_state_flag"] = false;
  return config;
}

// Camera 1 in front of the box, camera 2 beside it, camera 3 above it.
std::vector<Eigen::Isometry3d> cameraViews() {
  const Eigen::Vector3d centre = (kBox.min + kBox.max) / 2;
  return {cameraLookingAt(centre + Eigen::Vector3d(0.6, 0, 0), centre),
          cameraLookingAt(centre + Eigen::Vector3d(0, 0.6, 0), centre),
          cameraLookingAt(centre + Eigen::Vector3d(0, 0, 0.6), centre)};
}

YAML::Node cameraConfig(const CameraSetup& setup, const Arm& arm) {
  YAML::Node config = sensorConfig(setup.arm6, true);
  config["robot_avoid_obstacle"]["cameras_num"] = setup.cameras;
  config["robot_avoid_obstacle"]["pointcloud_input_source"] = setup.source;
  config["point_clouds"]["resolution"] = kResolution;
  for (const char* axis : {"x", "y", "z"}) {
    config["point_clouds"][std::string("point_cloud_min") + axis] = -2.0;
    config["point_clouds"][std::string("point_cloud_max") + axis] = 2.0;
  }
  const std::vector<Eigen::Isometry3d> views = cameraViews();
  for (int camera = 1; camera <= 3; ++camera) {
    // The single camera and camera 3 ride on the arm: their extrinsics are relative to the flange.
    const bool arm_mounted = setup.cameras == 1 || camera == 3;
    const Eigen::Isometry3d view = views[camera - 1];
    YAML::Node entry = config["color_camera" + std::to_string(camera)];
    entry["camera_extrinsic"]["data"] = rowMajor(arm_mounted ? arm.flange_pose.inverse() * view : view);
    entry["camera_intrinsic"] = YAML::Load("{fx: 150, cx: 80, fy: 150, cy: 60, k1: 0, k2: 0, p1: 0, p2: 0, k3: 0}");
  }
  return config;
}

// One simulated camera per configured camera, each with its own stamp.
struct Cameras {
  Cameras(const rclcpp::Node::SharedPtr& peer, const YAML::Node& config, int count, int source) : source(source) {
    const std::vector<Eigen::Isometry3d> views = cameraViews();
    for (int camera = 1; camera <= count; ++camera) {
      const YAML::Node entry = config["color_camera" + std::to_string(camera)];
      arm_sim::SceneCameraConfig camera_config;
      camera_config.simulation_topic = "/unused_" + std::to_string(camera);
      camera_config.cameras.push_back({entry["ros2_topic"].as<std::string>(), entry["depth_topic"].as<std::string>(),
                                       "camera", {kIntrinsics, views[camera - 1]}});
      scene_cameras.emplace_back(std::make_unique<arm_sim::SceneCamera>(peer, arm_sim::Scene{{kBox}}, camera_config));
    }
  }
  void publish(const std::vector<int32_t>& seconds) {
    for (size_t camera = 0; camera < scene_cameras.size(); ++camera) {
      builtin_interfaces::msg::Time stamp;
      stamp.sec = seconds[camera];
      source == 1 ? scene_cameras[camera]->publishCameraClouds(stamp) : scene_cameras[camera]->publishDepthImages(stamp);
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

// By name (reversed, a joint outside the group first) or by position (extra values ignored) a joint state sets the
// current joints and publishes the description and one "/tf" transform per group link; incomplete or non-finite
// states are dropped with a message and publish nothing.
void expectJointStatesTaken(RunningNodeWithPeers& running, const std::string& what) {
  RosTwoWrapper& node = running.node();
  arm_sim::NodeOutputRecorders& recorders = running.recorders();
  std::vector<std::string> links;
  std::vector<std::string> joints;
  RosTwoWrapperTestAccess::withObstacleMap(node, [&](const auto&, const auto&, const auto& scene) {
    links = scene.getPlanningGroup()->getLinkModelNames();
    joints = scene.getPlanningGroup()->getActiveJointModelNames();
  });
  const size_t n = joints.size();
  std::vector<double> expected;
  for (size_t i = 0; i < n; ++i) expected.push_back(0.25 * (i + 1) - 1.0);
  JointState named = jointState({"not_in_group"}, {9.0});
  for (size_t i = n; i-- > 0;) {
    named.name.push_back(joints[i]);
    named.position.push_back(expected[i]);
  }
  RosTwoWrapperTestAccess::jointState(node, named);
  EXPECT_EQ(RosTwoWrapperTestAccess::currentJoints(node), expected) << what;
  ASSERT_TRUE(recorders.tf.waitForCount(1, 5s)) << what;
  ASSERT_TRUE(recorders.robot_description.waitForCount(1, 5s)) << what;
  EXPECT_EQ(recorders.robot_description.messages().back()->data, RosTwoWrapperTestAccess::robotDescription(node));
  const auto& transforms = recorders.tf.messages().back()->transforms;
  ASSERT_EQ(transforms.size(), links.size()) << what;
  for (size_t i = 0; i < links.size(); ++i) {
    EXPECT_EQ(transforms[i].header.frame_id, "base_link") << what;
    EXPECT_EQ(transforms[i].child_frame_id, links[i]) << what;
  }

  std::vector<double> longer = {0.5, -0.5, 1.5, -1.5, 0.0, 3.0, 2.0, 1.0};
  RosTwoWrapperTestAccess::jointState(node, jointState({}, longer));
  longer.resize(n);
  EXPECT_EQ(RosTwoWrapperTestAccess::currentJoints(node), longer) << what;
  ASSERT_TRUE(recorders.tf.waitForCount(2, 5s)) << what;

  std::vector<double> with_nan = expected;
  with_nan[n - 1] = kNaN;
  std::vector<std::string> renamed = joints;
  renamed[1] = "renamed";
  testing::internal::CaptureStdout();
  for (const JointState& state : {jointState({}, std::vector<double>(n - 1, 0.1)), jointState(renamed, expected),
                                  jointState(joints, std::vector<double>(n - 1, 0.1)), jointState(joints, with_nan),
                                  jointState({}, with_nan)}) {
    RosTwoWrapperTestAccess::jointState(node, state);
  }
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(occurrences(output, "joint state dropped: "), 5) << what << output;
  EXPECT_EQ(RosTwoWrapperTestAccess::currentJoints(node), longer) << what;
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(recorders.tf.count(), 2u) << what;
  EXPECT_EQ(recorders.robot_description.count(), 2u) << what;
}

TEST(SensorRoad, BoxSeenByEachCameraLandsWhereItIs) {
  const std::vector<CameraSetup> setups = {{1, 1, false}, {1, 2, true}, {2, 1, false},
                                           {2, 2, true},  {3, 1, true}, {3, 2, false}};
  for (const CameraSetup& setup : setups) {
    const std::string what =
        std::to_string(setup.cameras) + (setup.source == 1 ? " clouds " : " depth ") + (setup.arm6 ? "arm6" : "arm5");
    const Arm arm = armAt(setup.arm6 ? kArm6 : kArm5, setup.arm6);
    const YAML::Node config = cameraConfig(setup, arm);
    RunningNodeWithPeers running(config, config["robot_avoid_obstacle"]["joints_state_topic"].as<std::string>());
    Cameras cameras(running.peer(), config, setup.cameras, setup.source);
    // The real robot's joint-state road, once per arm.
    if (setup.cameras == 1) expectJointStatesTaken(running, what);
    ASSERT_TRUE(running.moveJoints(arm.joints, testJoints(arm.joints.size()))) << what;

    cameras.publish({100, 100, 100});
    ASSERT_TRUE(running.recorders().obstacle_cloud.waitForCount(1, 20s)) << what;
    const auto message = running.recorders().obstacle_cloud.messages().back();
    EXPECT_EQ(message->header.frame_id, "base_link") << what;
    pcl::PointCloud<pcl::PointXYZ> published;
    pcl::fromROSMsg(*message, published);
    EXPECT_GT(published.size(), 150u * setup.cameras) << what;
    int outside = 0;
    for (const pcl::PointXYZ& point : published) outside += !nearBox(point.x, point.y, point.z, 0.0);
    EXPECT_EQ(outside, 0) << what;
    EXPECT_TRUE(std::filesystem::exists("obstacle.pcd")) << what;

    // Every occupied cell lies within one voxel of the box, and each camera's face of the box (16 x 16 voxels) is
    // covered.
    RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto& tree, const auto& cloud, const auto& scene) {
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
  }
}

TEST(SensorRoad, StampsFarApartNeverPairAndTheFrozenMapStays) {
  const YAML::Node config = cameraConfig({2, 1, false}, armAt(kArm5, false));
  RunningNodeWithPeers running(config, "/arm5/joint_states");
  Cameras cameras(running.peer(), config, 2, 1);
  auto& clouds = running.recorders().obstacle_cloud;

  // 6 s apart: never a set. Equal stamps are matched at once; a set 4 s apart once a later message shows that
  // nothing closer can come.
  cameras.publish({100, 106});
  cameras.publish({200, 200});
  ASSERT_TRUE(clouds.waitForCount(1, 20s));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(clouds.count(), 1u);
  cameras.publish({300, 304});
  cameras.publish({400, 400});
  EXPECT_TRUE(clouds.waitForCount(3, 20s));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(clouds.count(), 3u);

  size_t leaves = 0;
  RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto& tree, const auto&, const auto&) {
    leaves = tree->getNumLeafNodes();
  });
  ASSERT_GT(leaves, 0u);
  RosTwoWrapperTestAccess::freezeObstacleMap(running.node(), true);
  cameras.publish({500, 500});
  std::this_thread::sleep_for(700ms);
  EXPECT_EQ(clouds.count(), 3u);
  RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto& tree, const auto& cloud, const auto&) {
    EXPECT_EQ(tree->getNumLeafNodes(), leaves);
    EXPECT_FALSE(cloud.empty());
  });
  RosTwoWrapperTestAccess::freezeObstacleMap(running.node(), false);
  cameras.publish({600, 600});
  EXPECT_TRUE(clouds.waitForCount(4, 20s));
}

TEST(SensorRoad, DepthImagesOfACameraWithoutIntrinsicsAreDropped) {
  YAML::Node config = cameraConfig({2, 2, false}, armAt(kArm5, false));
  config["color_camera2"].remove("camera_intrinsic");
  RunningNodeWithPeers running(config, "/arm5/joint_states");
  Cameras cameras(running.peer(), config, 2, 2);
  testing::internal::CaptureStdout();
  cameras.publish({100, 100});
  std::this_thread::sleep_for(500ms);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(running.recorders().obstacle_cloud.count(), 0u);
  EXPECT_NE(output.find("depth image dropped: camera2 has no configured intrinsics\n"), std::string::npos) << output;
}

// The simulation cloud is taken as it is but for points that are not finite, held by the collision world from the
// first cloud on and refilled live while state checks read it; the robot description parameter fills once running.
TEST(SensorRoad, SimulationCloudReachesTheCollisionWorldWithoutNonFinitePoints) {
  for (const bool arm6 : {false, true}) {
    const std::string what = arm6 ? "arm6" : "arm5";
    RunningNodeWithPeers running(sensorConfig(arm6, false), "/arm5/joint_states");
    auto publisher = running.peer()->create_publisher<sensor_msgs::msg::PointCloud2>("/pointcloud/output", 10);
    auto& clouds = running.recorders().obstacle_cloud;
    expectJointStatesTaken(running, what);

    // A cube around a link of the arm at its zero joints: free before the cloud, in collision after.
    std::vector<double> joints;
    Eigen::Vector3d link_position;
    RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto& tree, const auto&, auto& scene) {
      joints.assign(scene.getPlanningGroup()->getActiveJointModelNames().size(), 0.0);
      EXPECT_TRUE(scene.isStateValid(joints.data())) << what;
      EXPECT_FALSE(scene.worldHoldsOctomap(tree)) << what;
      const auto* link = scene.getRobotModel()->getLinkModel(scene.getPlanningGroup()->getLinkModelNames()[2]);
      link_position = scene.getRobotState()->getGlobalLinkTransform(link).translation();
    });
    const Eigen::Vector3d half(0.03, 0.03, 0.03);
    pcl::PointCloud<pcl::PointXYZ> cube =
        arm_sim::sampleSurfaces(arm_sim::Scene{{{link_position - half, link_position + half}}}, 0.005);
    const size_t finite = cube.size();
    const float inf = std::numeric_limits<float>::infinity();
    cube.emplace_back(std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f);
    cube.emplace_back(0.0f, -inf, 0.0f);
    cube.emplace_back(inf, inf, inf);
    sensor_msgs::msg::PointCloud2 message;
    sensor_msgs::msg::PointCloud2 empty;
    pcl::toROSMsg(cube, message);
    pcl::toROSMsg(pcl::PointCloud<pcl::PointXYZ>(), empty);

    publisher->publish(message);
    ASSERT_TRUE(clouds.waitForCount(1, 20s)) << what;
    EXPECT_EQ(clouds.messages().back()->width * clouds.messages().back()->height, finite) << what;
    RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto& tree, const auto& obstacles, auto& scene) {
      EXPECT_EQ(obstacles.size(), finite) << what;
      EXPECT_TRUE(scene.worldHoldsOctomap(tree)) << what;
      EXPECT_FALSE(scene.isStateValid(joints.data())) << what;
      const octomap::point3d centre(link_position.x(), link_position.y(), link_position.z());
      for (auto leaf = tree->begin_leafs(); leaf != tree->end_leafs(); ++leaf) {
        EXPECT_LT((leaf.getCoordinate() - centre).norm(), std::sqrt(3.0) * (half.x() + tree->getResolution()));
      }
    });
    EXPECT_FALSE(std::filesystem::exists("obstacle.pcd")) << what;

    // Refills while state checks read the tree on this thread; the last, empty cloud frees the arm again.
    for (size_t i = 0; i < 5; ++i) {
      publisher->publish(i < 4 ? message : empty);
      const auto deadline = std::chrono::steady_clock::now() + 20s;
      while (clouds.count() < 2 + i && std::chrono::steady_clock::now() < deadline) {
        RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto&, const auto&, auto& scene) {
          scene.isStateValid(joints.data());
        });
        std::this_thread::sleep_for(1ms);
      }
      ASSERT_EQ(clouds.count(), 2 + i) << what;
    }
    RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto& tree, const auto& obstacles, auto& scene) {
      EXPECT_TRUE(obstacles.empty()) << what;
      EXPECT_EQ(tree->size(), 0u) << what;
      EXPECT_TRUE(scene.isStateValid(joints.data())) << what;
    });

    rclcpp::Node& node1 = RosTwoWrapperTestAccess::node1(running.node());
    std::string description;
    for (const auto deadline = std::chrono::steady_clock::now() + 3s;
         description.empty() && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
      try {
        description = node1.get_parameter("/robot_description").as_string();
      } catch (const rclcpp::exceptions::ParameterUninitializedException&) {
      }
    }
    EXPECT_EQ(description, RosTwoWrapperTestAccess::robotDescription(running.node())) << what;
  }
}

}  // namespace
