// Time parametrisation of a 50-waypoint, 6-joint path under the arm's usual limits.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "planning/path_time_calculator.h"
#include "support/config_space_scene.h"

namespace {

constexpr int kDof = 6;
constexpr int kWaypoints = 50;

// A smooth sweep with a different wave per joint, as a shortened planner path would look.
JointPath wavyPath() {
  JointPath path(kWaypoints, std::vector<double>(kDof));
  for (int i = 0; i < kWaypoints; ++i) {
    for (int j = 0; j < kDof; ++j) {
      path[i][j] = 1.5 * std::sin(0.13 * (j + 1) * i + j) + 0.02 * i;
    }
  }
  return path;
}

void BM_CalculatePathTime50Waypoints(benchmark::State& state) {
  ConfigSpaceScene scene(std::vector<std::pair<double, double>>(kDof, {-3.2, 3.2}));
  PathTimeCalculator calculator(&scene);
  const JointPath path = wavyPath();
  const std::vector<double> vmax{2.0, 2.0, 2.5, 3.0, 3.0, 3.0};
  const std::vector<double> amax(kDof, 3.0);
  std::vector<TrajectoryPoint> points;
  for (auto _ : state) {
    if (calculator.calculatePathTime(path, vmax.data(), amax.data(), points) != 0) {
      state.SkipWithError("time parametrisation failed");
      break;
    }
    benchmark::DoNotOptimize(points.data());
  }
  state.counters["iterations"] = calculator.statistics().iterations;
  state.counters["scaled"] = calculator.statistics().uniformly_scaled;
  state.counters["duration_s"] = points.back().time_from_start;
}

BENCHMARK(BM_CalculatePathTime50Waypoints)->Unit(benchmark::kMicrosecond);

}  // namespace
