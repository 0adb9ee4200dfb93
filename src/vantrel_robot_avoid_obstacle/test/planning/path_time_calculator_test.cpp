#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "planning/path_time_calculator.h"
#include "support/captured_output.h"
#include "support/config_space_scene.h"

namespace {

struct Timed {
  int code;
  std::vector<TrajectoryPoint> points;
  PathTimeStatistics statistics;
  std::string output;
};

Timed timePath(const JointPath& path, const std::vector<double>& vmax, const std::vector<double>& amax) {
  ConfigSpaceScene scene(std::vector<std::pair<double, double>>(vmax.size(), {-100.0, 100.0}));
  PathTimeCalculator calculator(&scene);
  Timed timed{};
  timed.output =
      capturedOutput([&] { timed.code = calculator.calculatePathTime(path, vmax.data(), amax.data(), timed.points); });
  timed.statistics = calculator.statistics();
  return timed;
}

// Times, then joint 0's velocities and accelerations, against reference values.
void expectJoint0(const Timed& timed, const std::vector<std::vector<double>>& expected, double tolerance) {
  ASSERT_EQ(timed.code, 0);
  ASSERT_EQ(timed.points.size(), expected[0].size());
  for (std::size_t i = 0; i < timed.points.size(); ++i) {
    const TrajectoryPoint& point = timed.points[i];
    const double actual[] = {point.time_from_start, point.velocities[0], point.accelerations[0]};
    for (std::size_t row = 0; row < expected.size(); ++row) {
      EXPECT_NEAR(actual[row], expected[row][i], tolerance) << "row " << row << " point " << i;
    }
  }
}

// Times never decrease, and every finite-difference velocity and acceleration respects the limits.
void expectWithinLimits(const Timed& timed, const std::vector<double>& vmax, const std::vector<double>& amax) {
  const std::vector<TrajectoryPoint>& points = timed.points;
  ASSERT_EQ(timed.code, 0);
  for (std::size_t i = 0; i < points.size(); ++i) {
    for (std::size_t j = 0; j < vmax.size(); ++j) {
      EXPECT_LE(std::fabs(points[i].velocities[j]), vmax[j] * (1 + 1e-9)) << i << "," << j;
      EXPECT_LE(std::fabs(points[i].accelerations[j]), amax[j] + 0.01) << i << "," << j;
      if (i + 1 < points.size()) {
        const double dt = points[i + 1].time_from_start - points[i].time_from_start;
        EXPECT_GE(dt, 0.0);
        if (dt > 0.0) {
          EXPECT_LE(std::fabs(points[i + 1].positions[j] - points[i].positions[j]) / dt, vmax[j] * (1 + 1e-9));
        }
      }
    }
  }
}

TEST(PathTimeCalculator, TwoPointReferenceValues) {
  const Timed fast = timePath({{0.0}, {1.0}}, {1.0}, {100.0});
  expectJoint0(fast, {{0, 0.25, 0.5, 0.75, 1.0}, {0, 1, 1, 1, 0}, {8, 0, 0, 0, -8}}, 1e-9);
  EXPECT_EQ(fast.statistics.iterations, 1);

  const Timed slow = timePath({{0.0}, {1.0}}, {1.0}, {3.0});
  expectJoint0(slow, {{0, 0.41, 0.66, 0.91, 1.32}, {0, 0.804878, 1, 0.804878, 0}}, 1e-6);
  EXPECT_EQ(slow.statistics.iterations, 17);
  EXPECT_FALSE(slow.statistics.uniformly_scaled);
}

TEST(PathTimeCalculator, ShortPathsAndBadLimitsAreRefused) {
  for (const JointPath& path : {JointPath{{0.5}}, JointPath{}}) {
    const Timed timed = timePath(path, {1.0}, {1.0});
    EXPECT_EQ(timed.code, -1);
    EXPECT_EQ(timed.output, "Only one point in the Path!!!\n");
    EXPECT_TRUE(timed.points.empty());
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<std::vector<double>, std::vector<double>>> bad_limits{
      {{1.0, 0.0}, {1.0, 1.0}}, {{1.0, 1.0}, {-1.0, 1.0}}, {{nan, 1.0}, {1.0, 1.0}}, {{1.0, 1.0}, {1.0, inf}}};
  for (const auto& limits : bad_limits) {
    const Timed timed = timePath({{0, 0}, {1, 1}}, limits.first, limits.second);
    EXPECT_EQ(timed.code, -8);
    EXPECT_NE(timed.output.find("ERROR: joint"), std::string::npos);
    EXPECT_TRUE(timed.points.empty());
  }
}

TEST(PathTimeCalculator, EveryJointAcceleratesFromTheFirstPoint) {
  const Timed timed = timePath({{0.0, 0.0}, {0.0, 1.0}}, {1.0, 1.0}, {100.0, 100.0});
  ASSERT_EQ(timed.code, 0);
  EXPECT_NEAR(timed.points[0].accelerations[1], 8.0, 1e-9);
}

TEST(PathTimeCalculator, UnconvergedSweepsEndWithAUniformStretch) {
  const std::vector<double> vmax{100.0, 100.0};
  const std::vector<double> amax{0.1, 0.2};
  const Timed timed = timePath({{0, 0}, {10, -5}, {0, 5}, {10, -5}, {0, 0}}, vmax, amax);
  EXPECT_EQ(timed.statistics.iterations, 100);
  EXPECT_TRUE(timed.statistics.uniformly_scaled);
  expectWithinLimits(timed, vmax, amax);
}

TEST(PathTimeCalculator, RandomPathsRespectEveryLimit) {
  std::mt19937 engine(17);
  std::uniform_real_distribution<double> joint(-3.0, 3.0);
  std::uniform_real_distribution<double> limit(0.5, 4.0);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    JointPath path(2 + round % 9, std::vector<double>(3));
    for (auto& waypoint : path) {
      for (double& value : waypoint) value = joint(engine);
    }
    const std::vector<double> vmax{limit(engine), limit(engine), limit(engine)};
    const std::vector<double> amax{limit(engine), limit(engine), limit(engine)};
    const Timed timed = timePath(path, vmax, amax);
    expectWithinLimits(timed, vmax, amax);
    EXPECT_EQ(timed.points.front().positions, path.front());
    EXPECT_EQ(timed.points.back().positions, path.back());
  }
}

}  // namespace
