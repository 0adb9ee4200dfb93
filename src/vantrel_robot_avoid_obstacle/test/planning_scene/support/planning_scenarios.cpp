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

PlanningScenario freeScenario(ManipulatorPlanScene& scene) {
  PlanningScenario scenario = withTree(scene, "free", readyPose(-1.0), readyPose(1.0));
  fillBox(*scenario.tree, Eigen::Vector3d(-1.0, -1.0, -0.06), Eigen::Vector3d(-0.6, 1.0, -0.04));
  return scenario;
}

PlanningScenario wallScenario(ManipulatorPlanScene& scene) {
  PlanningScenario scenario = withTree(scene, "wall", readyPose(-1.0), readyPose(1.0));
  fillBox(*scenario.tree, Eigen::Vector3d(0.3, -0.12, 0.0), Eigen::Vector3d(0.7, -0.08, 0.45));
  return scenario;
}

PlanningScenario shelfScenario(ManipulatorPlanScene& scene) {
  PlanningScenario scenario = withTree(scene, "shelf", readyPose(-1.3), readyPose(0.3));
  octomap::OcTree& tree = *scenario.tree;
  fillBox(tree, Eigen::Vector3d(0.42, -0.32, 0.04), Eigen::Vector3d(0.8, 0.32, 0.06));   // bottom board
  fillBox(tree, Eigen::Vector3d(0.42, -0.32, 0.6), Eigen::Vector3d(0.8, 0.32, 0.62));    // top board
  fillBox(tree, Eigen::Vector3d(0.78, -0.32, 0.04), Eigen::Vector3d(0.8, 0.32, 0.62));   // back
  fillBox(tree, Eigen::Vector3d(0.42, -0.32, 0.04), Eigen::Vector3d(0.8, -0.3, 0.62));   // side
  fillBox(tree, Eigen::Vector3d(0.42, 0.3, 0.04), Eigen::Vector3d(0.8, 0.32, 0.62));     // side
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
