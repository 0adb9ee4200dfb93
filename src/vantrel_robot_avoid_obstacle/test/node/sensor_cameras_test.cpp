// Camera streams against the running node: a known box seen by one, two or three simulated cameras, as
// clouds or as depth images, lands where it is in "/obstacle_pointcloud" and in the octree that the
// collision world holds; stamps too far apart never pair; the frozen map stays as it is.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pcl_conversions/pcl_conversions.h>

#include "support/sensor_peers.h"

namespace {

using namespace std::chrono_literals;

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

YAML::Node cameraConfig(const CameraSetup& setup, const Arm& arm) {
  YAML::Node config = fullTestConfig();
  if (setup.arm6) useArm6(config, kArm6);
  config["robot_avoid_obstacle"]["cameras_num"] = setup.cameras;
  config["robot_avoid_obstacle"]["pointcloud_input_source"] = setup.source;
  config["point_clouds"]["resolution"] = kResolution;
  for (const char* axis : {"x", "y", "z"}) {
    config["point_clouds"][std::string("point_cloud_min") + axis] = -2.0;
    config["point_clouds"][std::string("point_cloud_max") + axis] = 2.0;
  }
  config["debug_mode"]["print_joint_state_flag"] = false;
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

// Every occupied cell lies within one voxel of the box, and each camera's face of the box is covered.
void expectBoxInOctree(const octomap::OcTree& tree, int cameras, const std::string& what) {
  int outside = 0;
  int faces[3] = {0, 0, 0};
  for (auto leaf = tree.begin_leafs(); leaf != tree.end_leafs(); ++leaf) {
    if (!tree.isNodeOccupied(*leaf)) continue;
    outside += !nearBox(leaf.getX(), leaf.getY(), leaf.getZ(), leaf.getSize() / 2);
    faces[0] += std::abs(leaf.getX() - kBox.max.x()) < kResolution;
    faces[1] += std::abs(leaf.getY() - kBox.max.y()) < kResolution;
    faces[2] += std::abs(leaf.getZ() - kBox.max.z()) < kResolution;
  }
  EXPECT_EQ(outside, 0) << what;
  // A face of the box is 16 x 16 voxels.
  for (int camera = 0; camera < cameras; ++camera) EXPECT_GT(faces[camera], 150) << what << " camera " << camera + 1;
}

TEST(SensorCameras, BoxSeenByEachCameraLandsWhereItIs) {
  const std::vector<CameraSetup> setups = {{1, 1, false}, {1, 2, true}, {2, 1, false},
                                           {2, 2, true},  {3, 1, true}, {3, 2, false}};
  for (const CameraSetup& setup : setups) {
    const std::string what =
        std::to_string(setup.cameras) + (setup.source == 1 ? " clouds " : " depth ") + (setup.arm6 ? "arm6" : "arm5");
    const Arm arm = armAt(setup.arm6 ? kArm6 : kArm5, setup.arm6);
    const YAML::Node config = cameraConfig(setup, arm);
    RunningNodeWithPeers running(config, config["robot_avoid_obstacle"]["joints_state_topic"].as<std::string>());
    Cameras cameras(running.peer(), config, setup.cameras, setup.source);
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

    RosTwoWrapperTestAccess::withObstacleMap(
        running.node(), [&](const std::shared_ptr<octomap::OcTree>& tree, const auto& cloud, const auto& scene) {
          EXPECT_EQ(cloud.size(), published.size()) << what;
          expectBoxInOctree(*tree, setup.cameras, what);
          EXPECT_TRUE(scene.worldHoldsOctomap(tree)) << what;
        });
  }
}

TEST(SensorCameras, StampsFarApartNeverPairAndTheFrozenMapStays) {
  const CameraSetup setup{2, 1, false};
  const YAML::Node config = cameraConfig(setup, armAt(kArm5, false));
  RunningNodeWithPeers running(config, "/arm5/joint_states");
  Cameras cameras(running.peer(), config, 2, 1);
  auto& clouds = running.recorders().obstacle_cloud;

  // 6 s apart: never a set. Equal stamps are matched at once; a set 4 s apart once a later message shows
  // that nothing closer can come.
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

TEST(SensorCameras, DepthImagesOfACameraWithoutIntrinsicsAreDropped) {
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

}  // namespace
