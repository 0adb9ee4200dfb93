#pragma once

#include <memory>
#include <vector>

#include "planning/path_time_calculator.h"
#include "planning/plan_scene_interface.h"
#include "planning/rrt_connect.h"
#include "planning/trajectory_point.h"

// The node's single entry point from a start and a goal joint vector to a timed trajectory: search with
// post-processing, a motion check of every segment, and the time parametrisation. The scene is shared
// and never owned here; it must outlive the facade.
class PathPlanAndPostProcessing {
 public:
  explicit PathPlanAndPostProcessing(PlanSceneInterface* plan_scene, PlannerSeams seams = PlannerSeams());

  // Both drivers: 0 with `points` holding the trajectory; the planner's code (-1 .. -6, `points` empty);
  // -3 also when the scene has no velocity and acceleration limits; -7 when a segment of the planned
  // path fails its final motion check (`points` empty); otherwise the time parametrisation's code.
  int pathPlanAndSimplify(const std::vector<double>& start, const std::vector<double>& goal,
                          std::vector<TrajectoryPoint>& points);
  // The same for simulation; only the banner differs.
  int pathPlanAndSimplifySimulation(const std::vector<double>& start, const std::vector<double>& goal,
                                    std::vector<TrajectoryPoint>& points);

  const RRTConnectPlanner& planner() const { return *planner_; }
  const PathTimeCalculator& timeCalculator() const { return *time_calculator_; }

 private:
  int planAndTime(const char* banner, const std::vector<double>& start, const std::vector<double>& goal,
                  std::vector<TrajectoryPoint>& points);

  PlanSceneInterface* plan_scene_;
  std::unique_ptr<RRTConnectPlanner> planner_;
  std::unique_ptr<PathTimeCalculator> time_calculator_;
};
