#pragma once

#include <memory>
#include <string>
#include <vector>

#include <Eigen/Core>
#include <octomap/OcTree.h>

#include "planning/manipulator_plan_scene.h"

// Arm6 planning problems among octree obstacles. Each builds its obstacles into the scene's world as the
// node would (one shared octree, "world_octomap").
struct PlanningScenario {
  std::string name;
  std::vector<double> start;
  std::vector<double> goal;
  std::shared_ptr<octomap::OcTree> tree;
};

// The arm6 ready pose turned about the base by `base_angle`.
std::vector<double> readyPose(double base_angle);

// An arm's ready pose (base at 0) and where its obstacles sit relative to arm6's.
struct ArmLayout {
  std::vector<double> ready;
  Eigen::Vector3d obstacle_offset;
  // The ready pose turned about the base by `base_angle`.
  std::vector<double> pose(double base_angle) const;
};
ArmLayout arm6Layout();
ArmLayout arm5Layout();

// Nothing between start and goal: the straight motion is valid.
PlanningScenario freeScenario(ManipulatorPlanScene& scene);
// A wall in front of the base that the arm must reach over; the first for arm6.
PlanningScenario wallScenario(ManipulatorPlanScene& scene);
PlanningScenario wallScenarioFor(ManipulatorPlanScene& scene, const ArmLayout& arm);
// The goal inside a shelf compartment, open only to the front; the first for arm6.
PlanningScenario shelfScenario(ManipulatorPlanScene& scene);
PlanningScenario shelfScenarioFor(ManipulatorPlanScene& scene, const ArmLayout& arm);
// The goal's gripper boxed in by voxels hugging it: valid, but nothing leads there.
PlanningScenario enclosedScenario(ManipulatorPlanScene& scene);
