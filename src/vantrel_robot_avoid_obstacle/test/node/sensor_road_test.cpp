// The running node against its simulated peers, on both arms: a known box seen by one, two or three cameras, as
// clouds or as depth images, lands where it is in "/obstacle_pointcloud", in the octree, in the collision world and
// in the snapshot file; points the octree cannot hold are counted.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "node_rig.h"
#include "support/cloud_helpers.h"

namespace {

using namespace std::chrono_literals;

constexpr double kResolution = 0.01;
const arm_sim::PinholeIntrinsics kIntrinsics{150.0, 80.0, 150.0, 60.0, 160, 120};
const arm_sim::Cuboid kBox{{0.42, -0.08, 0.22}, {0.58, 0.08, 0.38}};

struct CameraSetup {
  int cameras;
  int source;  // 1 clouds, 2 depth images
  Arm arm;
};

// Camera 1 in front of the box, camera 2 beside it, camera 3 above it.
std::vector<Eigen::Isometry3d> cameraViews() {
  const Eigen::Vector3d centre = (kBox.min + kBox.max) / 2;
  return {cameraLookingAt(centre + Eigen::Vector3d(0.6, 0, 0), centre),
          cameraLookingAt(centre + Eigen::Vector3d(0, 0.6, 0), centre),
          cameraLookingAt(centre + Eigen::Vector3d(0, 0, 0.6), centre)};
}

// The real robot with cameras, else the simulation; a filter box of about 4 m and a 1 cm octree.
YAML::Node sensorConfig(const CameraSetup& setup) {
  YAML::Node config = nodeConfig(
      setup.arm, setup.cameras > 0,
      "{robot_avoid_obstacle: {cameras_num: " + std::to_string(setup.cameras) + ", pointcloud_input_source: " +
          std::to_string(setup.source) +
          "}, point_clouds: {resolution: 0.01, point_cloud_minx: -1.9, point_cloud_maxx: 2.1, point_cloud_miny: -1.8, "
          "point_cloud_maxy: 2.2, point_cloud_minz: -1.7, point_cloud_maxz: 2.3}}");
  placeCameras(config, setup.arm, cameraViews(), setup.cameras);
  for (int camera = 1; camera <= setup.cameras; ++camera) {
    config["color_camera" + std::to_string(camera)]["camera_intrinsic"] =
        YAML::Load("{fx: 150, cx: 80, fy: 150, cy: 60, k1: 0, k2: 0, p1: 0, p2: 0, k3: 0}");
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

TEST(SensorRoad, BoxSeenByEachCameraLandsWhereItIsAndStampsFarApartNeverPair) {
  const std::vector<CameraSetup> setups = {{1, 1, Arm::Five}, {1, 2, Arm::Six}, {2, 1, Arm::Five},
                                           {2, 2, Arm::Six},  {3, 1, Arm::Six}, {3, 2, Arm::Five}};
  for (const CameraSetup& setup : setups) {
    const std::string what = std::to_string(setup.cameras) + (setup.source == 1 ? " clouds " : " depth ") +
                             armName(setup.arm);
    const YAML::Node config = sensorConfig(setup);
    NodeRig rig(config, {}, arm_sim::Scene{}, NodeRig::Spin::Run);
    const PointCloudFilter& filter = Access::cloudFilter(rig.node());
    EXPECT_EQ((std::vector<double>{filter.min_x_, filter.max_x_, filter.min_y_, filter.max_y_, filter.min_z_,
                                   filter.max_z_, filter.leaf_size_, filter.std_dev_mul_}),
              (std::vector<double>{-1.9, 2.1, -1.8, 2.2, -1.7, 2.3, kResolution, 1.0}));
    EXPECT_EQ(filter.mean_k_, 25);
    // The arm-mounted cameras see the box from where the real robot's joint state puts them.
    Access::jointState(rig.node(), jointState(rig.joints().names, testJoints(setup.arm)));
    Cameras cameras(rig.peer(), config, setup.cameras, setup.source);
    auto& clouds = rig.recorders().obstacle_cloud;
    cameras.publish({100, 100, 100});
    ASSERT_TRUE(clouds.waitForCount(1, 60s)) << what;
    const auto message = clouds.messages().back();
    EXPECT_EQ(message->header.frame_id, "base_link") << what;
    EXPECT_GT(message->width, 150u * setup.cameras) << what;

    // The published cloud is the one in the map: every occupied cell lies within one voxel of the box, and each
    // camera's face of the box (16 x 16 voxels) is covered.
    RosTwoWrapper& node = rig.node();
    size_t tree_nodes = 0;
    Access::withObstacleMap(node, [&](const auto& tree, const auto& cloud, const auto& scene) {
      EXPECT_EQ(cloud.size(), message->width) << what;
      EXPECT_EQ(readPcd(kObstacleSnapshotFile).size(), cloud.size()) << what;
      tree_nodes = tree->size();
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

    // The robot description parameter fills once the node runs.
    rclcpp::Node& node1 = Access::node1(node);
    std::string description;
    for (const auto deadline = std::chrono::steady_clock::now() + 60s;
         description.empty() && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
      try {
        description = node1.get_parameter("/robot_description").as_string();
      } catch (const rclcpp::exceptions::ParameterUninitializedException&) {
      }
    }
    EXPECT_EQ(description, Access::robotDescription(node));

    // A map frozen once the entry test is passed stays as it is: the flag is read again under the lock.
    const std::string snapshot = readFile(kObstacleSnapshotFile);
    Access::freezeMap(node, true);
    testing::internal::CaptureStdout();
    Access::cameraClouds(node, {message.get(), message.get()});
    EXPECT_NE(testing::internal::GetCapturedStdout().find("not need update_obstacle\n"), std::string::npos);
    Access::freezeMap(node, false);
    Access::withObstacleMap(node, [&](const auto& tree, const auto& cloud, const auto&) {
      EXPECT_EQ(cloud.size(), message->width);
      EXPECT_EQ(tree->size(), tree_nodes);
    });
    EXPECT_TRUE(readFile(kObstacleSnapshotFile) == snapshot);

    // Stamps 6 s apart never pair.
    cameras.publish({200, 206});
    cameras.publish({300, 300});
    ASSERT_TRUE(clouds.waitForCount(2, 60s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(clouds.count(), 2u);
  }
}

// A resolution so fine that the octree's range ends within the scene: the points beyond it cannot enter the map and
// are counted with the cloud's other filter counts.
TEST(SensorRoad, PointsBeyondTheOctreesRangeAreCounted) {
  const arm_sim::Cuboid inside{{0.1, 0.1, 0.1}, {0.15, 0.15, 0.15}}, beyond{{0.5, -0.05, 0.0}, {0.55, 0.05, 0.05}};
  NodeRig rig(nodeConfig(Arm::Five, false,
                         "{point_clouds: {resolution: 0.00001, point_cloud_minx: -0.3, point_cloud_maxx: 0.3, "
                         "point_cloud_miny: -0.3, point_cloud_maxy: 0.3, point_cloud_minz: -0.3, point_cloud_maxz: 0.3}}"),
              {}, arm_sim::Scene{{inside, beyond}});
  const size_t beyond_points = arm_sim::sampleSurfaces(arm_sim::Scene{{beyond}}, 0.01).size();
  testing::internal::CaptureStdout();
  ASSERT_TRUE(rig.showScene(20s));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("\033[33m points outside octree range exist in pointclouds! \033[0m" +
                                                        std::to_string(beyond_points) + "\n"),
            std::string::npos);
  // The cloud itself keeps them; the octree holds the rest.
  const size_t inside_points = arm_sim::sampleSurfaces(arm_sim::Scene{{inside}}, 0.01).size();
  Access::withObstacleMap(rig.node(), [&](const auto& tree, const auto& cloud, const auto&) {
    EXPECT_EQ(cloud.size(), inside_points + beyond_points);
    EXPECT_GT(tree->getNumLeafNodes(), inside_points / 2);
  });
}

}  // namespace
