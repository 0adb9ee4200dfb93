#pragma once

#include <utility>
#include <vector>

#include "planning/joint_path.h"
#include "planning/plan_scene_interface.h"
#include "planning/trajectory_point.h"

// What the last calculatePathTime did, for tests and benchmarks.
struct PathTimeStatistics {
  int iterations = 0;         // acceleration sweeps run
  bool uniformly_scaled = false;  // the sweeps did not converge and all times were stretched
};

// Iterative parabolic time parametrisation of a joint path under per-joint velocity and acceleration
// limits.
class PathTimeCalculator {
 public:
  explicit PathTimeCalculator(PlanSceneInterface* plan_scene);

  // `vmax` and `amax` hold one limit per joint. 0 with `points` filled; -1 for fewer than two
  // waypoints; -8 for a limit that is not a positive finite number. On failure `points` is untouched.
  // Consecutive times differ by more than a nanosecond, also where a waypoint repeats.
  int calculatePathTime(JointPath path, const double* vmax, const double* amax, std::vector<TrajectoryPoint>& points);

  const PathTimeStatistics& statistics() const { return statistics_; }

 private:
  PlanSceneInterface* plan_scene_;
  int n_dof_ = 0;
  std::vector<std::pair<double, double>> joint_bounds_;
  PathTimeStatistics statistics_;
};
