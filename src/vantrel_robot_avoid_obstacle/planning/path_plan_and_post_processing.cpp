#include "planning/path_plan_and_post_processing.h"

#include <cstdio>
#include <iostream>

PathPlanAndPostProcessing::PathPlanAndPostProcessing(PlanSceneInterface* plan_scene, PlannerSeams seams)
    : plan_scene_(plan_scene),
      planner_(std::make_unique<RRTConnectPlanner>(plan_scene, std::move(seams))),
      time_calculator_(std::make_unique<PathTimeCalculator>(plan_scene)) {}

int PathPlanAndPostProcessing::pathPlanAndSimplify(const std::vector<double>& start, const std::vector<double>& goal,
                                                   std::vector<TrajectoryPoint>& points) {
  return planAndTime("---------------start path plan and simpfily---------------", start, goal, points);
}

int PathPlanAndPostProcessing::pathPlanAndSimplifySimulation(const std::vector<double>& start,
                                                             const std::vector<double>& goal,
                                                             std::vector<TrajectoryPoint>& points) {
  return planAndTime("---------------start path plan and simpfily Simulation---------------", start, goal, points);
}

int PathPlanAndPostProcessing::planAndTime(const char* banner, const std::vector<double>& start,
                                           const std::vector<double>& goal, std::vector<TrajectoryPoint>& points) {
  points.clear();
  planner_->setStartAndGoal(start, goal);
  std::cout << banner << std::endl;
  JointPath path;
  const int plan_rc = planner_->plan(path);
  if (plan_rc != 0) {
    printf("[path_plan_and_post_processing]path plan error!,error ocde=%d\n", plan_rc);
    return plan_rc;
  }
  bool every_segment_valid = true;
  for (std::size_t k = 0; k + 1 < path.size(); ++k) {
    const bool valid = plan_scene_->checkMotion(path[k].data(), path[k + 1].data());
    printf("check_motion_flag:%d\n", valid);
    every_segment_valid = every_segment_valid && valid;
  }
  if (!every_segment_valid) {
    printf("[path_plan_and_post_processing]planned path has a segment in collision!,error code=%d\n", -7);
    return -7;
  }
  std::cout << "---------------path plan success---------------" << std::endl;

  std::vector<double> vmax;
  std::vector<double> amax;
  const int limit_count = plan_scene_->getVmaxAndAmax(vmax, amax);
  // The time parametrisation reads one limit per planned joint.
  if (limit_count < 1 || limit_count < planner_->dofCount() || vmax.size() < static_cast<std::size_t>(limit_count) ||
      amax.size() < static_cast<std::size_t>(limit_count)) {
    std::cout << "getVmaxAndAmax error!" << std::endl;
    return -3;
  }
  for (int i = 0; i < limit_count; ++i) {
    std::cout << "vmax-amax:" << vmax[i] << "," << amax[i] << std::endl;
  }
  std::cout << "---------------start calculate path time---------------" << std::endl;
  const int time_rc = time_calculator_->calculatePathTime(path, vmax.data(), amax.data(), points);
  if (time_rc == 0) {
    printf("---------------calculate path time success---------------,point size:%d\n",
           static_cast<int>(points.size()));
  }
  return time_rc;
}
