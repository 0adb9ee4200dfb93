#pragma once

#include <memory>
#include <string>
#include <vector>

#include <Eigen/Core>
#include <octomap/OcTree.h>

#include "planning/manipulator_plan_scene.h"

// An arm's ready pose (base at 0) and where its obstacles sit relative to arm6's.
struct ArmLayout {
  std::vector<double> ready;
  Eigen::Vector3d obstacle_offset;
  // The ready pose turned about the base by `base_angle`.
  std::vector<double> pose(double base_angle) const;
};
ArmLayout arm6Layout();
ArmLayout arm5Layout();

// kFree: nothing between start and goal. kWall: a wall in front of the base that the arm must reach over.
// kShelf: the goal inside a shelf compartment, open only to the front. kEnclosed: the goal's gripper boxed in
// by voxels hugging it, valid but unreachable.
enum class Obstacles { kFree, kWall, kShelf, kEnclosed };

// A planning problem among octree obstacles, built into the scene's world as the node would (one shared
// octree, "world_octomap").
struct PlanningScenario {
  std::string name;
  std::vector<double> start;
  std::vector<double> goal;
  std::shared_ptr<octomap::OcTree> tree;
};
PlanningScenario makeScenario(ManipulatorPlanScene& scene, Obstacles obstacles, const ArmLayout& arm = arm6Layout());
