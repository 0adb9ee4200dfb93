#pragma once

#include <memory>
#include <vector>

#include "planning/manipulator_plan_scene.h"
#include "planning/path_plan_and_post_processing.h"

// What one motion plan needs: the scene (never owned here), the shared planner facade, start and goal, and
// which driver and gripper padding to use.
struct PipeLine {
  ManipulatorPlanScene* plan_scene_ptr_ = nullptr;
  PlanSceneInterface* plan_scene_interface_ptr_ = nullptr;
  std::shared_ptr<PathPlanAndPostProcessing> path_plan_ptr_;
  std::vector<double> start_joints_;
  std::vector<double> goal_joints_;
  // true: the real-robot driver; false: the simulation driver.
  bool real_robot_flag_ = false;
  double padding_ = 0.0;
};
