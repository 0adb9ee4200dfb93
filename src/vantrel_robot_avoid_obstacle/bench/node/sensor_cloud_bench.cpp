// The camera cloud callback end to end (conversion, transforms, merge, filter with its snapshot, publication,
// octree rebuild; without the closing pause) for one and three cameras of 640 x 480 points each, and the
// octree rebuild alone, point by point and in one pass.
#include <memory>
#include <sstream>
#include <vector>

#include <benchmark/benchmark.h>
#include <pcl/common/transforms.h>
#include <pcl_conversions/pcl_conversions.h>

#include "bench_cameras.h"
#include "node/obstacle_octree.h"
#include "node/point_cloud_filter.h"
#include "node_rig.h"

namespace {

// The table, pillar and box on a floor that fills every pixel.
arm_sim::Scene benchScene() {
  arm_sim::Scene scene = arm_sim::tablePillarBoxScene();
  scene.solids.push_back({{-4.0, -4.0, -0.3}, {4.0, 4.0, -0.2}});
  return scene;
}

// The program's settings on the six-axis arm with `cameras` cloud cameras at the views above, and each
// camera's cloud message.
struct BenchNode {
  explicit BenchNode(int cameras) {
    YAML::Node config = nodeConfig(Arm::Six, true);
    config["robot_avoid_obstacle"]["cameras_num"] = cameras;
    config["robot_avoid_obstacle"]["pointcloud_input_source"] = 1;
    config["point_clouds"]["resolution"] = 0.005;
    for (const char* axis : {"x", "y", "z"}) {
      config["point_clouds"][std::string("point_cloud_min") + axis] = -0.85;
      config["point_clouds"][std::string("point_cloud_max") + axis] = 0.85;
    }
    const std::vector<Eigen::Isometry3d> views = benchCameraViews();
    placeCameras(config, Arm::Six, views, cameras);
    const arm_sim::Scene scene = benchScene();
    for (int camera = 0; camera < cameras; ++camera) {
      auto message = std::make_unique<sensor_msgs::msg::PointCloud2>();
      pcl::toROSMsg(benchCameraCloud(scene, views[camera]), *message);
      points += message->width * message->height;
      messages.push_back(std::move(message));
    }
    node = std::make_unique<InProcessNode>(config);
    Access::setCurrentJoints(node->node(), testJoints(Arm::Six));
  }
  std::vector<const sensor_msgs::msg::PointCloud2*> pointers() const {
    std::vector<const sensor_msgs::msg::PointCloud2*> result;
    for (const auto& message : messages) result.push_back(message.get());
    return result;
  }

  std::vector<std::unique_ptr<sensor_msgs::msg::PointCloud2>> messages;
  std::unique_ptr<InProcessNode> node;
  size_t points = 0;
};

void BM_CameraCloudCallback(benchmark::State& state) {
  BenchNode bench(static_cast<int>(state.range(0)));
  const auto messages = bench.pointers();
  size_t obstacle_points = 0;
  for (auto _ : state) {
    Access::cameraClouds(bench.node->node(), messages);
    state.PauseTiming();
    Access::withObstacleMap(bench.node->node(), [&](const auto&, const auto& cloud, const auto&) {
      obstacle_points = cloud.size();
    });
    state.ResumeTiming();
  }
  state.counters["camera_points"] = static_cast<double>(bench.points);
  state.counters["obstacle_points"] = static_cast<double>(obstacle_points);
  state.counters["Hz"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CameraCloudCallback)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The octree rebuild of the three-camera obstacle cloud: range 0 point by point, 1 in one pass.
void BM_ObstacleOctreeRebuild(benchmark::State& state) {
  BenchNode bench(3);
  Access::cameraClouds(bench.node->node(), bench.pointers());
  pcl::PointCloud<pcl::PointXYZ> obstacles;
  Access::withObstacleMap(bench.node->node(), [&](const auto&, const auto& cloud, const auto&) {
    obstacles = cloud;
  });
  octomap::OcTree tree(0.005);
  for (auto _ : state) {
    if (state.range(0) == 0) {
      tree.clear();
      for (const pcl::PointXYZ& point : obstacles) tree.updateNode(point.x, point.y, point.z, true, false);
      tree.updateInnerOccupancy();
    } else {
      rebuildObstacleOctree(tree, obstacles);
    }
  }
  state.counters["obstacle_points"] = static_cast<double>(obstacles.size());
  state.counters["leaves"] = static_cast<double>(tree.getNumLeafNodes());
}
BENCHMARK(BM_ObstacleOctreeRebuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The cleaning filter alone on the three cameras' merged cloud in the base frame.
void BM_FilterOfThreeCameras(benchmark::State& state) {
  const arm_sim::Scene scene = benchScene();
  pcl::PointCloud<pcl::PointXYZ>::Ptr merged(new pcl::PointCloud<pcl::PointXYZ>);
  for (const Eigen::Isometry3d& view : benchCameraViews()) {
    pcl::PointCloud<pcl::PointXYZ> in_base;
    pcl::transformPointCloud(benchCameraCloud(scene, view), in_base, view.matrix().cast<float>());
    *merged += in_base;
  }
  PointCloudFilter filter;
  filter.leaf_size_ = 0.005;
  filter.mean_k_ = 25;
  pcl::PointCloud<pcl::PointXYZ>::Ptr output(new pcl::PointCloud<pcl::PointXYZ>);
  for (auto _ : state) filter.filterPointCloud(merged, output);
  state.counters["input_points"] = static_cast<double>(merged->size());
  state.counters["obstacle_points"] = static_cast<double>(output->size());
}
BENCHMARK(BM_FilterOfThreeCameras)->Unit(benchmark::kMillisecond);

}  // namespace
