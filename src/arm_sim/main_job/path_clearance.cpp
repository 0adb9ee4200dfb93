#include "path_clearance.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include <octomap/OcTree.h>

#include "collision_detection/collision_robot_fcl.h"
#include "collision_detection/collision_world_fcl.h"
#include "robot_model/core/robot_state.h"

namespace arm_sim
{

namespace
{

double clearanceAt(
  ManipulatorPlanScene & scene, const collision_detection::CollisionRobotFCL & arm,
  const std::vector<double> & q)
{
  robot_model::core::RobotState & state = *scene.getRobotState();
  state.setJointGroupPositions(scene.getPlanningGroup(), q);
  state.updateCollisionBodyTransforms();
  collision_detection::DistanceRequest request;
  collision_detection::DistanceResult result;
  scene.getCollisionWorld()->distanceRobot(request, result, arm, state);
  return result.collision ? std::min(result.minimum_distance.distance, 0.0) :
         result.minimum_distance.distance;
}

}  // namespace

void putCloudIntoWorld(
  ManipulatorPlanScene & scene, const pcl::PointCloud<pcl::PointXYZ> & cloud, double resolution)
{
  auto tree = std::make_shared<octomap::OcTree>(resolution);
  for (const auto & p : cloud.points) {
    if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) {
      tree->updateNode(octomap::point3d(p.x, p.y, p.z), true, false);
    }
  }
  tree->updateInnerOccupancy();
  scene.updateWorldOctomap(tree);
}

double smallestPathClearance(
  ManipulatorPlanScene & scene, const std::vector<std::vector<double>> & path, double max_joint_step)
{
  if (path.empty()) {
    return std::numeric_limits<double>::infinity();
  }

  // The bare arm: the planner keeps its padded links off the obstacles at the states it tests and lets no
  // point move more than half the padding between them, so the bare arm is what stays clear everywhere.
  const collision_detection::CollisionRobotFCL arm(scene.getRobotModel(), 0.0, 1.0);
  double smallest = clearanceAt(scene, arm, path.front());
  std::vector<double> q(path.front().size());
  for (size_t i = 1; i < path.size(); ++i) {
    const auto & from = path[i - 1];
    const auto & to = path[i];
    double widest = 0.0;
    for (size_t j = 0; j < from.size(); ++j) {
      widest = std::max(widest, std::abs(to[j] - from[j]));
    }
    const int steps = std::max(1, static_cast<int>(std::ceil(widest / max_joint_step)));
    for (int s = 1; s <= steps; ++s) {
      const double t = static_cast<double>(s) / steps;
      for (size_t j = 0; j < q.size(); ++j) {
        q[j] = from[j] + t * (to[j] - from[j]);
      }
      smallest = std::min(smallest, clearanceAt(scene, arm, q));
    }
  }
  return smallest;
}

}  // namespace arm_sim
