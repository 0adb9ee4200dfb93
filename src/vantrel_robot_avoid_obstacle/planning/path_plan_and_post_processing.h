#pragma once

#include <memory>
#include <vector>

#include "planning/finely_checked_scene.h"
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
  // -3 also when the scene has no velocity and acceleration limits; otherwise the time parametrisation's
  // code. Before a trajectory is returned every segment of it passes the scene's motion check and its
  // fine motion check; a segment that fails is planned again between its ends, and -7 (`points` empty)
  // means that this failed too.
  int pathPlanAndSimplify(const std::vector<double>& start, const std::vector<double>& goal,
                          std::vector<TrajectoryPoint>& points);
  // The same for simulation; only the banner differs.
  int pathPlanAndSimplifySimulation(const std::vector<double>& start, const std::vector<double>& goal,
                                    std::vector<TrajectoryPoint>& points);

  const RRTConnectPlanner& planner() const { return *planner_; }
  const PathTimeCalculator& timeCalculator() const { return *time_calculator_; }

 private:
  // Bounds on the repair work of one query.
  static constexpr int kMaxReplans = 5;
  static constexpr int kMaxTimingRounds = 3;

  int planAndTime(const char* banner, const std::vector<double>& start, const std::vector<double>& goal,
                  std::vector<TrajectoryPoint>& points);
  // Replaces each segment that fails either motion check by a detour planned on the finely checked scene;
  // false when a detour cannot be found or too many were needed. `motion_checked` holds the motion check's
  // results for the first segments where they are known.
  bool replanFailingSegments(JointPath& path, std::vector<bool> motion_checked);
  // The first trajectory segment that is not a segment of `path` and fails the motion check; -1 for none.
  int firstFailingInsertedSegment(const JointPath& path, const std::vector<TrajectoryPoint>& points);
  int refuse(std::vector<TrajectoryPoint>& points);

  PlanSceneInterface* plan_scene_;
  FinelyCheckedScene finely_checked_scene_;
  PlannerSeams seams_;
  std::unique_ptr<RRTConnectPlanner> planner_;
  std::unique_ptr<PathTimeCalculator> time_calculator_;
};
