#include "scene_fixtures.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr double kResolution = 0.02;

std::string descriptionsRoot() {
  return std::string(RAO_SOURCE_DIR) + "/src/robot_avoid_obstacle/resources/robot_descriptions/";
}

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

std::string arm6Directory() { return descriptionsRoot() + "arm6_description/"; }
std::string testRigDirectory() {
  return std::string(RAO_SOURCE_DIR) + "/src/vantrel_robot_avoid_obstacle/test/planning_scene/fixtures/";
}

std::unique_ptr<ManipulatorPlanScene> makeArm6Scene(double robot_padding, const std::string& group) {
  return std::make_unique<ManipulatorPlanScene>(arm6Directory(), "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf",
                                                "srdf/arm6_and_whole_gripper_linker.srdf", group, robot_padding, 1.0);
}

std::unique_ptr<ManipulatorPlanScene> makeArm5Scene(const std::string& group, double robot_padding) {
  return std::make_unique<ManipulatorPlanScene>(descriptionsRoot() + "arm5_description/", "urdf/arm5.urdf",
                                                "srdf/arm5.srdf", group, robot_padding, 1.0);
}

std::unique_ptr<ManipulatorPlanScene> makeTestRigScene(const std::string& group) {
  const std::string srdf = group == "fixed_first" ? "test_rig_fixed_first.srdf" : "test_rig.srdf";
  return std::make_unique<ManipulatorPlanScene>(testRigDirectory(), "test_rig.urdf", srdf, group, 0.0, 1.0);
}

std::unique_ptr<ManipulatorPlanScene> makeTelescopeRigScene(double robot_padding) {
  return std::make_unique<ManipulatorPlanScene>(testRigDirectory(), "telescope_rig.urdf", "telescope_rig.srdf", "arm",
                                                robot_padding, 1.0);
}

MicrosecondClock steppingClock() {
  return [now = std::make_shared<std::int64_t>(0)] { return ++*now; };
}

std::shared_ptr<octomap::OcTree> makeOctree(double resolution) {
  return std::make_shared<octomap::OcTree>(resolution);
}

void fillBox(octomap::OcTree& tree, const Eigen::Vector3d& min, const Eigen::Vector3d& max) {
  const double step = tree.getResolution();
  for (double x = min.x(); x <= max.x() + 1e-9; x += step) {
    for (double y = min.y(); y <= max.y() + 1e-9; y += step) {
      for (double z = min.z(); z <= max.z() + 1e-9; z += step) {
        tree.updateNode(octomap::point3d(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)), true,
                        false);
      }
    }
  }
  tree.updateInnerOccupancy();
}

void fillPoint(octomap::OcTree& tree, const Eigen::Vector3d& point) { fillBox(tree, point, point); }

Eigen::Vector3d linkPosition(ManipulatorPlanScene& scene, const std::vector<double>& q, const std::string& link) {
  for (const auto& transform : scene.getLinkTransforms(q.data())) {
    if (transform.child_frame_id == link) {
      return {transform.transform.translation.x, transform.transform.translation.y, transform.transform.translation.z};
    }
  }
  return Eigen::Vector3d::Constant(NAN);
}

std::vector<double> ArmLayout::pose(double base_angle) const {
  std::vector<double> q = ready;
  q[0] = base_angle;
  return q;
}

ArmLayout arm6Layout() { return {{0.0, -0.5, -0.4, 0.0, -0.67, 0.0}, Eigen::Vector3d::Zero()}; }

// The forearm level and the tool stretched out: the obstacles move out and up with the tool.
ArmLayout arm5Layout() { return {{0.0, -0.8, -1.2, -1.1, 0.0}, Eigen::Vector3d(0.12, 0.1, 0.1)}; }

NearContactMotion arm6NearContactMotion() {
  constexpr double kJoint3 = -0.99936511492902969;
  return {{-3.05, 0.0, kJoint3, -3.05, 0.0, -6.28}, {3.05, 0.0, kJoint3, 3.05, 0.0, 6.28}};
}

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
