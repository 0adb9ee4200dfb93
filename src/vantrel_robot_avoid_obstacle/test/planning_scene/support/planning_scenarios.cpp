#include "planning_scenarios.h"

#include "scene_fixtures.h"

namespace {

constexpr double kResolution = 0.02;

PlanningScenario withTree(ManipulatorPlanScene& scene, std::string name, std::vector<double> start,
                          std::vector<double> goal) {
  PlanningScenario scenario{std::move(name), std::move(start), std::move(goal), makeOctree(kResolution)};
  scene.updateWorldOctomap(scenario.tree);
  return scenario;
}

}  // namespace

std::vector<double> readyPose(double base_angle) { return {base_angle, -0.5, -0.4, 0.0, -0.67, 0.0}; }

std::vector<double> ArmLayout::pose(double base_angle) const {
  std::vector<double> q = ready;
  q[0] = base_angle;
  return q;
}

ArmLayout arm6Layout() { return {readyPose(0.0), Eigen::Vector3d::Zero()}; }

// The forearm level and the tool stretched out: the obstacles move out and up with the tool.
ArmLayout arm5Layout() { return {{0.0, -0.8, -1.2, -1.1, 0.0}, Eigen::Vector3d(0.12, 0.1, 0.1)}; }

PlanningScenario freeScenario(ManipulatorPlanScene& scene) {
  PlanningScenario scenario = withTree(scene, "free", readyPose(-1.0), readyPose(1.0));
  fillBox(*scenario.tree, Eigen::Vector3d(-1.0, -1.0, -0.06), Eigen::Vector3d(-0.6, 1.0, -0.04));
  return scenario;
}

PlanningScenario wallScenario(ManipulatorPlanScene& scene) { return wallScenarioFor(scene, arm6Layout()); }

PlanningScenario wallScenarioFor(ManipulatorPlanScene& scene, const ArmLayout& arm) {
  PlanningScenario scenario = withTree(scene, "wall", arm.pose(-1.0), arm.pose(1.0));
  const Eigen::Vector3d& at = arm.obstacle_offset;
  fillBox(*scenario.tree, at + Eigen::Vector3d(0.3, -0.12, 0.0), at + Eigen::Vector3d(0.7, -0.08, 0.45));
  return scenario;
}

PlanningScenario shelfScenario(ManipulatorPlanScene& scene) { return shelfScenarioFor(scene, arm6Layout()); }

PlanningScenario shelfScenarioFor(ManipulatorPlanScene& scene, const ArmLayout& arm) {
  PlanningScenario scenario = withTree(scene, "shelf", arm.pose(-1.3), arm.pose(0.3));
  octomap::OcTree& tree = *scenario.tree;
  const Eigen::Vector3d& at = arm.obstacle_offset;
  fillBox(tree, at + Eigen::Vector3d(0.42, -0.32, 0.04), at + Eigen::Vector3d(0.8, 0.32, 0.06));  // bottom board
  fillBox(tree, at + Eigen::Vector3d(0.42, -0.32, 0.6), at + Eigen::Vector3d(0.8, 0.32, 0.62));   // top board
  fillBox(tree, at + Eigen::Vector3d(0.78, -0.32, 0.04), at + Eigen::Vector3d(0.8, 0.32, 0.62));  // back
  fillBox(tree, at + Eigen::Vector3d(0.42, -0.32, 0.04), at + Eigen::Vector3d(0.8, -0.3, 0.62));  // side
  fillBox(tree, at + Eigen::Vector3d(0.42, 0.3, 0.04), at + Eigen::Vector3d(0.8, 0.32, 0.62));    // side
  return scenario;
}

PlanningScenario enclosedScenario(ManipulatorPlanScene& scene) {
  PlanningScenario scenario = withTree(scene, "enclosed", readyPose(-1.0), readyPose(1.0));
  octomap::OcTree& tree = *scenario.tree;
  const Eigen::Vector3d centre = linkPosition(scene, scenario.goal, "gripper_link");
  const double reach = 0.14;
  // Each candidate voxel alone in the tree: kept when the goal stays valid beside it.
  std::vector<octomap::point3d> kept;
  for (double x = centre.x() - reach; x <= centre.x() + reach; x += kResolution) {
    for (double y = centre.y() - reach; y <= centre.y() + reach; y += kResolution) {
      for (double z = centre.z() - reach; z <= centre.z() + reach; z += kResolution) {
        const octomap::point3d point(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
        tree.clear();
        tree.updateNode(point, true, false);
        tree.updateInnerOccupancy();
        if (scene.isStateValid(scenario.goal.data())) kept.push_back(point);
      }
    }
  }
  tree.clear();
  for (const octomap::point3d& point : kept) tree.updateNode(point, true, false);
  tree.updateInnerOccupancy();
  return scenario;
}
