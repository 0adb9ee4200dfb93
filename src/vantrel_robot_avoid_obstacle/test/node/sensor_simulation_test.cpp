// The simulation cloud against the running node: taken as it is but for points that are not finite, held by
// the collision world from the first cloud on, and refilled live while state checks read it.
#include <chrono>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pcl_conversions/pcl_conversions.h>

#include "support/sensor_peers.h"

namespace {

using namespace std::chrono_literals;

TEST(SensorSimulation, CloudReachesTheCollisionWorldWithoutNonFinitePoints) {
  YAML::Node config = fullTestConfig();
  config["robot_avoid_obstacle"]["real_robot_flag"] = false;
  config["debug_mode"]["print_joint_state_flag"] = false;
  RunningNodeWithPeers running(config, "/arm5/joint_states");
  auto cloud_publisher = running.peer()->create_publisher<sensor_msgs::msg::PointCloud2>("/pointcloud/output", 10);
  auto& clouds = running.recorders().obstacle_cloud;

  // A cube around a link of the arm at its current (zero) joints: free before the cloud, in collision after.
  std::vector<double> zeros;
  Eigen::Vector3d link_position;
  RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto& tree, const auto&, auto& scene) {
    zeros.assign(scene.getPlanningGroup()->getActiveJointModelNames().size(), 0.0);
    EXPECT_TRUE(scene.isStateValid(zeros.data()));
    EXPECT_FALSE(scene.worldHoldsOctomap(tree));
    const auto* link = scene.getRobotModel()->getLinkModel(scene.getPlanningGroup()->getLinkModelNames()[2]);
    link_position = scene.getRobotState()->getGlobalLinkTransform(link).translation();
  });
  const Eigen::Vector3d half(0.03, 0.03, 0.03);
  pcl::PointCloud<pcl::PointXYZ> cube =
      arm_sim::sampleSurfaces(arm_sim::Scene{{{link_position - half, link_position + half}}}, 0.005);
  const size_t finite = cube.size();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  cube.emplace_back(nan, 0.0f, 0.0f);
  cube.emplace_back(0.0f, -inf, 0.0f);
  cube.emplace_back(inf, inf, inf);
  sensor_msgs::msg::PointCloud2 message;
  pcl::toROSMsg(cube, message);
  const sensor_msgs::msg::PointCloud2 empty = [] {
    sensor_msgs::msg::PointCloud2 empty_message;
    pcl::toROSMsg(pcl::PointCloud<pcl::PointXYZ>(), empty_message);
    return empty_message;
  }();

  cloud_publisher->publish(message);
  ASSERT_TRUE(clouds.waitForCount(1, 20s));
  EXPECT_EQ(clouds.messages().back()->width * clouds.messages().back()->height, finite);
  RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto& tree, const auto& obstacles, auto& scene) {
    EXPECT_EQ(obstacles.size(), finite);
    EXPECT_TRUE(scene.worldHoldsOctomap(tree));
    EXPECT_FALSE(scene.isStateValid(zeros.data()));
    const double half_extent = half.x() + tree->getResolution();
    for (auto leaf = tree->begin_leafs(); leaf != tree->end_leafs(); ++leaf) {
      EXPECT_LT((leaf.getCoordinate() - octomap::point3d(link_position.x(), link_position.y(), link_position.z()))
                    .norm(),
                std::sqrt(3.0) * half_extent);
    }
  });
  EXPECT_FALSE(std::filesystem::exists("obstacle.pcd"));

  // Refills while state checks read the tree on this thread; the last, empty cloud frees the arm again.
  for (size_t i = 0; i < 5; ++i) {
    cloud_publisher->publish(i < 4 ? message : empty);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (clouds.count() < 2 + i && std::chrono::steady_clock::now() < deadline) {
      RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto&, const auto&, auto& scene) {
        scene.isStateValid(zeros.data());
      });
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(clouds.count(), 2 + i);
  }
  RosTwoWrapperTestAccess::withObstacleMap(running.node(), [&](const auto& tree, const auto& obstacles, auto& scene) {
    EXPECT_TRUE(obstacles.empty());
    EXPECT_EQ(tree->size(), 0u);
    EXPECT_TRUE(scene.worldHoldsOctomap(tree));
    EXPECT_TRUE(scene.isStateValid(zeros.data()));
  });
}

}  // namespace
