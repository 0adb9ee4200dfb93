#pragma once

#include <vector>

// One time-parametrised sample of a trajectory: one value per joint each, time in seconds from the start.
struct TrajectoryPoint {
  std::vector<double> positions;
  std::vector<double> velocities;
  std::vector<double> accelerations;
  double time_from_start = 0.0;
};
