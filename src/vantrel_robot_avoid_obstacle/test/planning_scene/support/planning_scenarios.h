#pragma once

#include <memory>
#include <string>
#include <vector>

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

// The ready pose turned about the base by `base_angle`.
std::vector<double> readyPose(double base_angle);

// Nothing between start and goal: the straight motion is valid.
PlanningScenario freeScenario(ManipulatorPlanScene& scene);
// A wall in front of the base that the arm must reach over.
PlanningScenario wallScenario(ManipulatorPlanScene& scene);
// The goal inside a shelf compartment, open only to the front.
PlanningScenario shelfScenario(ManipulatorPlanScene& scene);
// The goal's gripper boxed in by voxels hugging it: valid, but nothing leads there.
PlanningScenario enclosedScenario(ManipulatorPlanScene& scene);
