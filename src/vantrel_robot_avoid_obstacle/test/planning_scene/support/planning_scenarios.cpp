#include "planning_scenarios.h"

#include "scene_fixtures.h"

namespace {

constexpr double kResolution = 0.02;

// Each candidate voxel near the goal's gripper alone in the tree: kept when the goal stays valid beside it.
void encloseGoal(ManipulatorPlanScene& scene, const std::vector<double>& goal, octomap::OcTree& tree) {
  const Eigen::Vector3d centre = linkPosition(scene, goal, "gripper_link");
  const double reach = 0.14;
  std::vector<octomap::point3d> kept;
  for (double x = centre.x() - reach; x <= centre.x() + reach; x += kResolution) {
    for (double y = centre.y() - reach; y <= centre.y() + reach; y += kResolution) {
      for (double z = centre.z() - reach; z <= centre.z() + reach; z += kResolution) {
        const octomap::point3d point(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
        tree.clear();
        tree.updateNode(point, true, false);
        tree.updateInnerOccupancy();
        if (scene.isStateValid(goal.data())) kept.push_back(point);
      }
    }
  }
  tree.clear();
  for (const octomap::point3d& point : kept) tree.updateNode(point, true, false);
  tree.updateInnerOccupancy();
}

}  // namespace

std::vector<double> ArmLayout::pose(double base_angle) const {
  std::vector<double> q = ready;
  q[0] = base_angle;
  return q;
}

ArmLayout arm6Layout() { return {{0.0, -0.5, -0.4, 0.0, -0.67, 0.0}, Eigen::Vector3d::Zero()}; }

// The forearm level and the tool stretched out: the obstacles move out and up with the tool.
ArmLayout arm5Layout() { return {{0.0, -0.8, -1.2, -1.1, 0.0}, Eigen::Vector3d(0.12, 0.1, 0.1)}; }

PlanningScenario makeScenario(ManipulatorPlanScene& scene, Obstacles obstacles, const ArmLayout& arm) {
  const char* names[] = {"free", "wall", "shelf", "enclosed"};
  const bool shelf = obstacles == Obstacles::kShelf;
  PlanningScenario scenario{names[static_cast<int>(obstacles)], arm.pose(shelf ? -1.3 : -1.0),
                            arm.pose(shelf ? 0.3 : 1.0), makeOctree(kResolution)};
  scene.updateWorldOctomap(scenario.tree);
  octomap::OcTree& tree = *scenario.tree;
  const Eigen::Vector3d& at = arm.obstacle_offset;
  switch (obstacles) {
    case Obstacles::kFree:
      fillBox(tree, at + Eigen::Vector3d(-1.0, -1.0, -0.06), at + Eigen::Vector3d(-0.6, 1.0, -0.04));
      break;
    case Obstacles::kWall:
      fillBox(tree, at + Eigen::Vector3d(0.3, -0.12, 0.0), at + Eigen::Vector3d(0.7, -0.08, 0.45));
      break;
    case Obstacles::kShelf:
      fillBox(tree, at + Eigen::Vector3d(0.42, -0.32, 0.04), at + Eigen::Vector3d(0.8, 0.32, 0.06));  // bottom board
      fillBox(tree, at + Eigen::Vector3d(0.42, -0.32, 0.6), at + Eigen::Vector3d(0.8, 0.32, 0.62));   // top board
      fillBox(tree, at + Eigen::Vector3d(0.78, -0.32, 0.04), at + Eigen::Vector3d(0.8, 0.32, 0.62));  // back
      fillBox(tree, at + Eigen::Vector3d(0.42, -0.32, 0.04), at + Eigen::Vector3d(0.8, -0.3, 0.62));  // side
      fillBox(tree, at + Eigen::Vector3d(0.42, 0.3, 0.04), at + Eigen::Vector3d(0.8, 0.32, 0.62));    // side
      break;
    case Obstacles::kEnclosed:
      encloseGoal(scene, scenario.goal, tree);
      break;
  }
  return scenario;
}
