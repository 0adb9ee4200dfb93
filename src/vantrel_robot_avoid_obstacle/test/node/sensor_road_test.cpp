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
#include "node_rig.h"

namespace {

using namespace std::chrono_literals;
using sensor_msgs::msg::JointState;

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

// The real robot with cameras, else the simulation; a box of 4 m and a 1 cm octree.
YAML::Node sensorConfig(const CameraSetup& setup) {
  YAML::Node config = nodeConfig(
      setup.arm, setup.cameras > 0,
      "{robot_avoid_obstacle: {cameras_num: " + std::to_string(setup.cameras) + ", pointcloud_input_source: " +
          std::to_string(setup.source) +
          "}, point_clouds: {resolution: 0.01, point_cloud_minx: -2, point_cloud_maxx: 2, point_cloud_miny: -2, "
          "point_cloud_maxy: 2, point_cloud_minz: -2, point_cloud_maxz: 2}}");
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

JointState jointState(std::vector<std::string> names, std::vector<double> positions) {
  JointState state;
  state.name = std::move(names);
  state.position = std::move(positions);
  return state;
}

TEST(SensorRoad, BoxSeenByEachCameraLandsWhereItIsAndTheFrozenMapStays) {
  const std::vector<CameraSetup> setups = {{1, 1, Arm::Five}, {1, 2, Arm::Six}, {2, 1, Arm::Five},
                                           {2, 2, Arm::Six},  {3, 1, Arm::Six}, {3, 2, Arm::Five}};
  for (const CameraSetup& setup : setups) {
    const std::string what =
        std::to_string(setup.cameras) + (setup.source == 1 ? " clouds " : " depth ") + (setup.arm == Arm::Six ? "arm6" : "arm5");
    const YAML::Node config = sensorConfig(setup);
    NodeRig rig(config, testJoints(setup.arm), arm_sim::Scene{}, NodeRig::Spin::Run);
    Cameras cameras(rig.peer(), config, setup.cameras, setup.source);
    auto& clouds = rig.recorders().obstacle_cloud;
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
    RosTwoWrapper& node = rig.node();
    Access::withObstacleMap(node, [&](const auto& tree, const auto& cloud, const auto& scene) {
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
    Access::withObstacleMap(node, [&](const auto& tree, const auto&, const auto&) {
      leaves = tree->getNumLeafNodes();
    });
    Access::freezeObstacleMap(node, true);
    cameras.publish({400, 400});
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(clouds.count(), 2u);
    Access::withObstacleMap(node, [&](const auto& tree, const auto& cloud, const auto&) {
      EXPECT_EQ(tree->getNumLeafNodes(), leaves);
      EXPECT_FALSE(cloud.empty());
    });
    Access::freezeObstacleMap(node, false);
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
  for (const Arm arm : {Arm::Five, Arm::Six}) {
    const std::string what = arm == Arm::Six ? "arm6" : "arm5";
    NodeRig rig(sensorConfig({0, 1, arm}), std::vector<double>(testJoints(arm).size(), 0.0), arm_sim::Scene{},
                NodeRig::Spin::Run);
    RosTwoWrapper& node = rig.node();
    arm_sim::NodeOutputRecorders& recorders = rig.recorders();
    std::vector<std::string> joints;
    std::vector<std::string> links;
    Eigen::Vector3d link_position;  // at zero joints
    Access::withObstacleMap(node, [&](const auto& tree, const auto&, auto& scene) {
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
    Access::jointState(node, named);
    EXPECT_EQ(Access::currentJoints(node), expected) << what;
    ASSERT_TRUE(recorders.tf.waitForCount(1, 5s) && recorders.robot_description.waitForCount(1, 5s)) << what;
    EXPECT_EQ(recorders.robot_description.messages().back()->data, Access::robotDescription(node));
    std::vector<std::string> children;
    for (const auto& transform : recorders.tf.messages().back()->transforms) {
      EXPECT_EQ(transform.header.frame_id, "base_link") << what;
      children.push_back(transform.child_frame_id);
    }
    EXPECT_EQ(children, links) << what;
    std::vector<double> longer = {0.5, -0.5, 1.5, -1.5, 0.0, 3.0, 2.0, 1.0};
    Access::jointState(node, jointState({}, longer));
    longer.resize(n);
    EXPECT_EQ(Access::currentJoints(node), longer) << what;
    std::vector<double> with_nan = expected;
    with_nan[n - 1] = std::numeric_limits<double>::quiet_NaN();
    std::vector<std::string> renamed = joints;
    renamed[1] = "renamed";
    testing::internal::CaptureStdout();
    for (const JointState& state : {jointState({}, std::vector<double>(n - 1, 0.1)), jointState(renamed, expected),
                                    jointState(joints, std::vector<double>(n - 1, 0.1)), jointState(joints, with_nan),
                                    jointState({}, with_nan)}) {
      Access::jointState(node, state);
    }
    EXPECT_EQ(occurrences(testing::internal::GetCapturedStdout(), "joint state dropped: "), 5) << what;
    EXPECT_EQ(Access::currentJoints(node), longer) << what;

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
    auto publisher = rig.peer()->create_publisher<sensor_msgs::msg::PointCloud2>("/pointcloud/output", 10);
    const auto publishAndWait = [&](const sensor_msgs::msg::PointCloud2& cloud) {
      const size_t count = recorders.obstacle_cloud.count();
      publisher->publish(cloud);
      // State checks read the tree on this thread while the node refills it.
      for (const auto deadline = std::chrono::steady_clock::now() + 20s;
           recorders.obstacle_cloud.count() == count && std::chrono::steady_clock::now() < deadline;) {
        Access::withObstacleMap(node, [&](const auto&, const auto&, auto& scene) {
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
    Access::withObstacleMap(node, [&](const auto& tree, const auto& obstacles, auto& scene) {
      EXPECT_EQ(obstacles.size(), finite) << what;
      EXPECT_TRUE(scene.worldHoldsOctomap(tree)) << what;
      EXPECT_FALSE(scene.isStateValid(zeros.data())) << what;
    });
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(publishAndWait(message)) << what;
    // The last, empty cloud frees the arm again.
    ASSERT_TRUE(publishAndWait(empty)) << what;
    Access::withObstacleMap(node, [&](const auto& tree, const auto& obstacles, auto& scene) {
      EXPECT_TRUE(obstacles.empty() && tree->size() == 0) << what;
      EXPECT_TRUE(scene.isStateValid(zeros.data())) << what;
    });

    rclcpp::Node& node1 = Access::node1(node);
    std::string description;
    for (const auto deadline = std::chrono::steady_clock::now() + 3s;
         description.empty() && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
      try {
        description = node1.get_parameter("/robot_description").as_string();
      } catch (const rclcpp::exceptions::ParameterUninitializedException&) {
      }
    }
    EXPECT_EQ(description, Access::robotDescription(node)) << what;
  }
}

}  // namespace
