#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "planning/path_time_calculator.h"
#include "support/config_space_scene.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

struct Timed {
  int code;
  std::vector<TrajectoryPoint> points;
  PathTimeStatistics statistics;
};

Timed timePath(const JointPath& path, const std::vector<double>& vmax, const std::vector<double>& amax) {
  ConfigSpaceScene scene(std::vector<std::pair<double, double>>(vmax.size(), {-100.0, 100.0}));
  PathTimeCalculator calculator(&scene);
  Timed timed{};
  timed.code = calculator.calculatePathTime(path, vmax.data(), amax.data(), timed.points);
  timed.statistics = calculator.statistics();
  return timed;
}

std::vector<double> column(const std::vector<TrajectoryPoint>& points, double TrajectoryPoint::*field) {
  std::vector<double> values;
  for (const TrajectoryPoint& point : points) {
    values.push_back(point.*field);
  }
  return values;
}

std::vector<double> jointValues(const std::vector<TrajectoryPoint>& points,
                                std::vector<double> TrajectoryPoint::*field, int joint) {
  std::vector<double> values;
  for (const TrajectoryPoint& point : points) {
    values.push_back((point.*field)[joint]);
  }
  return values;
}

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected, double tolerance) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], tolerance) << "index " << i;
  }
}

// Times never decrease, and every finite-difference velocity and acceleration respects the limits.
void expectWithinLimits(const Timed& timed, const std::vector<double>& vmax, const std::vector<double>& amax) {
  const std::vector<TrajectoryPoint>& points = timed.points;
  ASSERT_EQ(timed.code, 0);
  EXPECT_EQ(points.front().time_from_start, 0.0);
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

TEST(PathTimeCalculator, TwoPointsUnderAHighAccelerationLimitMoveAtFullSpeed) {
  const Timed timed = timePath({{0.0}, {1.0}}, {1.0}, {100.0});
  ASSERT_EQ(timed.code, 0);
  expectNear(column(timed.points, &TrajectoryPoint::time_from_start), {0, 0.25, 0.5, 0.75, 1.0}, 1e-12);
  expectNear(jointValues(timed.points, &TrajectoryPoint::positions, 0), {0, 0.25, 0.5, 0.75, 1.0}, 1e-12);
  expectNear(jointValues(timed.points, &TrajectoryPoint::velocities, 0), {0, 1, 1, 1, 0}, 1e-12);
  expectNear(jointValues(timed.points, &TrajectoryPoint::accelerations, 0), {8, 0, 0, 0, -8}, 1e-9);
  EXPECT_EQ(timed.statistics.iterations, 1);
}

TEST(PathTimeCalculator, TwoPointsUnderALowAccelerationLimitSlowDownAtTheEnds) {
  const Timed timed = timePath({{0.0}, {1.0}}, {1.0}, {3.0});
  ASSERT_EQ(timed.code, 0);
  expectNear(column(timed.points, &TrajectoryPoint::time_from_start), {0, 0.41, 0.66, 0.91, 1.32}, 1e-9);
  expectNear(jointValues(timed.points, &TrajectoryPoint::velocities, 0), {0, 0.804878, 1, 0.804878, 0}, 1e-6);
  EXPECT_EQ(timed.statistics.iterations, 17);
  EXPECT_FALSE(timed.statistics.uniformly_scaled);
}

TEST(PathTimeCalculator, FewerThanTwoWaypointsAreRefused) {
  ConfigSpaceScene scene({{-1.0, 1.0}});
  PathTimeCalculator calculator(&scene);
  const double limit = 1.0;
  std::vector<TrajectoryPoint> points(3);
  for (const JointPath& path : {JointPath{{0.5}}, JointPath{}}) {
    CaptureStdout();
    EXPECT_EQ(calculator.calculatePathTime(path, &limit, &limit, points), -1);
    EXPECT_EQ(GetCapturedStdout(), "Only one point in the Path!!!\n");
    EXPECT_EQ(points.size(), 3u);
  }
}

TEST(PathTimeCalculator, LimitsThatAreNotPositiveAndFiniteAreRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  ConfigSpaceScene scene(std::vector<std::pair<double, double>>(2, {-1.0, 1.0}));
  PathTimeCalculator calculator(&scene);
  const std::vector<std::pair<std::vector<double>, std::vector<double>>> bad_limits{
      {{1.0, 0.0}, {1.0, 1.0}}, {{1.0, 1.0}, {-1.0, 1.0}}, {{nan, 1.0}, {1.0, 1.0}}, {{1.0, 1.0}, {1.0, inf}}};
  for (const auto& limits : bad_limits) {
    std::vector<TrajectoryPoint> points;
    CaptureStdout();
    EXPECT_EQ(calculator.calculatePathTime({{0, 0}, {1, 1}}, limits.first.data(), limits.second.data(), points), -8);
    EXPECT_NE(GetCapturedStdout().find("ERROR: joint"), std::string::npos);
    EXPECT_TRUE(points.empty());
  }
}

TEST(PathTimeCalculator, ThreeWaypointsGainTheirSegmentMidpoints) {
  const Timed timed = timePath({{0.0, 0.0}, {1.0, 2.0}, {3.0, 2.0}}, {1.0, 1.0}, {2.0, 2.0});
  ASSERT_EQ(timed.points.size(), 5u);
  EXPECT_EQ(timed.points[1].positions, (std::vector<double>{0.5, 1.0}));
  EXPECT_EQ(timed.points[2].positions, (std::vector<double>{1.0, 2.0}));
  EXPECT_EQ(timed.points[3].positions, (std::vector<double>{2.0, 2.0}));
}

TEST(PathTimeCalculator, RepeatedWaypointStopsEveryJointAroundIt) {
  const Timed timed = timePath({{0, 0}, {1, 1}, {1, 1}, {2, 0}, {3, 1}}, {1.0, 1.0}, {5.0, 5.0});
  ASSERT_EQ(timed.code, 0);
  EXPECT_EQ(timed.points[1].time_from_start, timed.points[2].time_from_start);
  for (int i : {1, 2}) {
    EXPECT_EQ(timed.points[i].velocities, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(timed.points[i].accelerations, (std::vector<double>{0.0, 0.0}));
  }
}

TEST(PathTimeCalculator, EveryJointAcceleratesFromTheFirstPoint) {
  const Timed timed = timePath({{0.0, 0.0}, {0.0, 1.0}}, {1.0, 1.0}, {100.0, 100.0});
  ASSERT_EQ(timed.code, 0);
  EXPECT_EQ(timed.points[0].velocities, (std::vector<double>{0.0, 0.0}));
  EXPECT_NEAR(timed.points[0].accelerations[1], 8.0, 1e-9);
  EXPECT_EQ(timed.points[0].accelerations[0], 0.0);
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
    const int waypoints = 2 + round % 9;
    JointPath path(waypoints, std::vector<double>(3));
    for (auto& waypoint : path) {
      for (double& value : waypoint) {
        value = joint(engine);
      }
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
