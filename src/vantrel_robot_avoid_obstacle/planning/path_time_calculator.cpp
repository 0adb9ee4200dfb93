#include "planning/path_time_calculator.h"

#include <algorithm>
#include <cmath>
#include <iostream>

namespace {

constexpr int kMaxIterations = 100;
constexpr double kAccelerationTolerance = 0.01;
// Every interval is a whole number of these (2^-32 s): sums of intervals are then exact, so the returned
// times reproduce the intervals the limits were checked with, however short they are.
constexpr double kTimeQuantum = 1.0 / 4294967296.0;
// The shortest interval, also of a segment without motion: the fewest quanta longer than a nanosecond, so that
// the times still increase once truncated to whole nanoseconds for the controller.
constexpr double kShortestInterval = 5 * kTimeQuantum;
static_assert(kShortestInterval > 1e-9 && kShortestInterval - kTimeQuantum < 1e-9);
constexpr double kGrowthFactor = 1.01;
constexpr double kMaxGrowthPerVisit = 0.01;

// Values of one joint around waypoint i and the intervals on both sides; an end point mirrors its only
// neighbour.
struct Neighbourhood {
  double q1;
  double q2;
  double q3;
  double dt1;
  double dt2;
};

Neighbourhood neighbourhood(const JointPath& path, const std::vector<double>& time_diff, std::size_t i, int j) {
  const std::size_t last = path.size() - 1;
  if (i == 0) {
    return {path[1][j], path[0][j], path[1][j], time_diff[0], time_diff[0]};
  }
  if (i == last) {
    return {path[last - 1][j], path[last][j], path[last - 1][j], time_diff[last - 1], time_diff[last - 1]};
  }
  return {path[i - 1][j], path[i][j], path[i + 1][j], time_diff[i - 1], time_diff[i]};
}

// The smallest interval of whole quanta, at least the shortest interval, that is not shorter than `dt`.
double onTimeGrid(double dt) {
  return std::max(kShortestInterval, std::ceil(dt / kTimeQuantum) * kTimeQuantum);
}

double accelerationAt(const Neighbourhood& s) {
  return 2.0 * ((s.q3 - s.q2) / s.dt2 - (s.q2 - s.q1) / s.dt1) / (s.dt1 + s.dt2);
}

bool isPositiveLimit(double limit) {
  return std::isfinite(limit) && limit > 0.0;
}

// Two and three waypoints become five, so that the end points have neighbours to blend with.
void extendShortPath(JointPath& path) {
  if (path.size() == 2) {
    const std::vector<double> middle = interpolateWaypoints(path[0], path[1], 0.5);
    path = JointPath{path[0], interpolateWaypoints(path[0], middle, 0.5), middle,
                     interpolateWaypoints(middle, path[1], 0.5), path[1]};
  } else if (path.size() == 3) {
    path = JointPath{path[0], interpolateWaypoints(path[0], path[1], 0.5), path[1],
                     interpolateWaypoints(path[1], path[2], 0.5), path[2]};
  }
}

// Lengthens the interval after waypoint i (forward) or before it (backward) until the acceleration at
// i is within `amax`, by at most kMaxGrowthPerVisit.
void lengthenInterval(const Neighbourhood& s, bool forward, double amax, std::vector<double>& time_diff,
                      std::size_t i) {
  if (forward) {
    const double vin = (s.q2 - s.q1) / s.dt1;
    double t = s.dt2;
    double a = 0.0;
    do {
      a = std::fabs(2.0 * ((s.q3 - s.q2) / t - vin) / (s.dt1 + t));
      t *= kGrowthFactor;
    } while (a > amax);
    time_diff[i] = onTimeGrid(std::min(t, s.dt2 + kMaxGrowthPerVisit));
  } else {
    const double vout = (s.q3 - s.q2) / s.dt2;
    double t = s.dt1;
    double a = 0.0;
    do {
      a = std::fabs(2.0 * (vout - (s.q2 - s.q1) / t) / (t + s.dt2));
      t *= kGrowthFactor;
    } while (a > amax);
    time_diff[i - 1] = onTimeGrid(std::min(t, s.dt1 + kMaxGrowthPerVisit));
  }
}

// Largest ratio of a waypoint acceleration to its joint's limit, over all waypoints and joints.
double worstAccelerationRatio(const JointPath& path, const std::vector<double>& time_diff, int dof,
                              const double* amax) {
  double worst = 0.0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    for (int j = 0; j < dof; ++j) {
      worst = std::max(worst, std::fabs(accelerationAt(neighbourhood(path, time_diff, i, j))) / amax[j]);
    }
  }
  return worst;
}

}  // namespace

PathTimeCalculator::PathTimeCalculator(PlanSceneInterface* plan_scene) : plan_scene_(plan_scene) {
  n_dof_ = std::max(0, plan_scene_->getJointLimits(joint_bounds_));
}

int PathTimeCalculator::calculatePathTime(JointPath path, const double* vmax, const double* amax,
                                          std::vector<TrajectoryPoint>& points) {
  statistics_ = PathTimeStatistics();
  if (path.size() < 2) {
    std::cout << "Only one point in the Path!!!" << std::endl;
    return -1;
  }
  for (int j = 0; j < n_dof_; ++j) {
    if (!isPositiveLimit(vmax[j]) || !isPositiveLimit(amax[j])) {
      std::cout << "\033[41m ERROR: joint " << j << " needs a positive max velocity and acc, got " << vmax[j]
                << ", " << amax[j] << "\033[0m" << std::endl;
      return -8;
    }
  }
  extendShortPath(path);
  const std::size_t n = path.size();

  std::vector<double> time_diff(n - 1, 0.0);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    for (int j = 0; j < n_dof_; ++j) {
      time_diff[i] = std::max(time_diff[i], std::fabs(path[i + 1][j] - path[i][j]) / vmax[j]);
    }
    time_diff[i] = onTimeGrid(time_diff[i]);
    // The division above may have rounded down.
    for (int j = 0; j < n_dof_; ++j) {
      if (std::fabs(path[i + 1][j] - path[i][j]) / time_diff[i] > vmax[j]) time_diff[i] += kTimeQuantum;
    }
  }

  bool converged = n_dof_ == 0;
  while (!converged && statistics_.iterations < kMaxIterations) {
    ++statistics_.iterations;
    int updates = 0;
    for (int j = 0; j < n_dof_; ++j) {
      for (bool forward : {true, false}) {
        for (std::size_t k = 0; k + 1 < n; ++k) {
          const std::size_t i = forward ? k : n - 1 - k;
          const Neighbourhood s = neighbourhood(path, time_diff, i, j);
          if (std::fabs(accelerationAt(s)) > amax[j] + kAccelerationTolerance) {
            lengthenInterval(s, forward, amax[j], time_diff, i);
            ++updates;
          }
        }
      }
    }
    converged = updates == 0;
  }
  if (!converged) {
    // The bounded growth per sweep was not enough: stretching every interval by s divides every
    // acceleration by s squared and every velocity by s.
    const double worst = worstAccelerationRatio(path, time_diff, n_dof_, amax);
    if (worst > 1.0) {
      const double scale = std::sqrt(worst);
      for (double& dt : time_diff) {
        dt = onTimeGrid(dt * scale);
      }
      statistics_.uniformly_scaled = true;
    }
  }

  points.resize(n);
  double time = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    TrajectoryPoint& point = points[i];
    if (i > 0) {
      time += time_diff[i - 1];
    }
    point.time_from_start = time;
    point.positions.resize(n_dof_);
    point.velocities.resize(n_dof_);
    point.accelerations.resize(n_dof_);
    for (int j = 0; j < n_dof_; ++j) {
      const Neighbourhood s = neighbourhood(path, time_diff, i, j);
      point.positions[j] = path[i][j];
      const double vin = (s.q2 - s.q1) / s.dt1;
      const double vout = (s.q3 - s.q2) / s.dt2;
      point.velocities[j] = (vin + vout) / 2.0;
      point.accelerations[j] = 2.0 * (vout - vin) / (s.dt1 + s.dt2);
    }
  }
  return 0;
}
