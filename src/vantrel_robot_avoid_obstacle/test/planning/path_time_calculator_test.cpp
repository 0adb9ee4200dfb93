#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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
};

Timed timePath(const JointPath& path, const std::vector<double>& vmax, const std::vector<double>& amax) {
  ConfigSpaceScene scene(std::vector<std::pair<double, double>>(vmax.size(), {-100.0, 100.0}));
  PathTimeCalculator calculator(&scene);
  Timed timed{};
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

// Recomputed from the returned positions and times alone: times increase, every segment's velocity is
// within its limit and the acceleration at every sample (the change between the velocities of its two
// segments over their mean duration; an end sample mirrors its only segment) within its limit + 0.01.
void expectWithinLimits(const Timed& timed, const std::vector<double>& vmax, const std::vector<double>& amax) {
  ASSERT_EQ(timed.code, 0);
  const std::vector<TrajectoryPoint>& points = timed.points;
  const std::size_t n = points.size();
  for (std::size_t j = 0; j < vmax.size(); ++j) {
    // Entry k holds segment k - 1; the entries before the first and after the last mirror their neighbours.
    std::vector<double> velocity(n + 1);
    std::vector<double> duration(n + 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
      duration[i + 1] = points[i + 1].time_from_start - points[i].time_from_start;
      ASSERT_GT(duration[i + 1], 0.0) << i;
      velocity[i + 1] = (points[i + 1].positions[j] - points[i].positions[j]) / duration[i + 1];
      EXPECT_LE(std::fabs(velocity[i + 1]), vmax[j]) << "segment " << i << " joint " << j;
    }
    velocity[0] = -velocity[1];
    duration[0] = duration[1];
    velocity[n] = -velocity[n - 1];
    duration[n] = duration[n - 1];
    for (std::size_t i = 0; i < n; ++i) {
      const double acceleration = 2.0 * (velocity[i + 1] - velocity[i]) / (duration[i] + duration[i + 1]);
      EXPECT_LE(std::fabs(acceleration), amax[j] + 0.01) << "sample " << i << " joint " << j;
    }
  }
}

TEST(PathTimeCalculator, TwoPointReferenceValues) {
  const Timed fast = timePath({{0.0}, {1.0}}, {1.0}, {100.0});
  expectJoint0(fast, {{0, 0.25, 0.5, 0.75, 1.0}, {0, 1, 1, 1, 0}, {8, 0, 0, 0, -8}}, 1e-9);

  // Every joint accelerates from the first point, not only the first joint.
  const Timed second_joint = timePath({{0.0, 0.0}, {0.0, 1.0}}, {1.0, 1.0}, {100.0, 100.0});
  ASSERT_EQ(second_joint.code, 0);
  EXPECT_NEAR(second_joint.points[0].accelerations[1], 8.0, 1e-9);

  const Timed slow = timePath({{0.0}, {1.0}}, {1.0}, {3.0});
  expectJoint0(slow, {{0, 0.41, 0.66, 0.91, 1.32}, {0, 0.804878, 1, 0.804878, 0}}, 1e-6);
}

// Refused paths leave no points; every other path keeps its ends and stays within the limits, also with
// extreme limits and tiny segments.
TEST(PathTimeCalculator, RefusalsAndExtremeCasesAgainstTheLimits) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    JointPath path;
    std::vector<double> vmax;
    std::vector<double> amax;
    int code = 0;
  };
  const std::vector<Case> cases{
      {{{0.5}}, {1.0}, {1.0}, -1},
      {{}, {1.0}, {1.0}, -1},
      {{{0, 0}, {1, 1}}, {1.0, 0.0}, {1.0, 1.0}, -8},
      {{{0, 0}, {1, 1}}, {1.0, 1.0}, {-1.0, 1.0}, -8},
      {{{0, 0}, {1, 1}}, {nan, 1.0}, {1.0, 1.0}, -8},
      {{{0, 0}, {1, 1}}, {1.0, 1.0}, {1.0, inf}, -8},
      {{{0.0}, {2.0}}, {1e8}, {3.0}},                       // velocity limit far above what acceleration allows
      {{{0.0}, {1e-9}, {1.0}, {2.0}, {3.0}}, {1.0}, {3.0}},  // a first segment of 1e-9 rad
      {{{0.0}, {1.0}, {1.0 + 1e-12}, {2.0}, {3.0}}, {2.0}, {3.0}},
      {{{0.0}, {1.0}, {1.0}, {2.0}}, {1.0}, {3.0}},  // a segment without motion
      {{{0.0}, {1e-10}}, {1e-3}, {1e-3}},
      {{{0.0}, {5.0}, {-5.0}, {5.0}}, {1e8}, {1e8}},
      {{{-3, 0, 3}, {3, -M_PI, 0}, {0, M_PI / 2, -3}, {1, 1, 1}, {-2, 2.5, 0.3}}, {0.5, 4.0, 1.3}, {4.0, 0.5, 2.2}},
      // Sweeps that do not converge and end with a uniform stretch.
      {{{0, 0}, {10, -5}, {0, 5}, {10, -5}, {0, 0}}, {100.0, 100.0}, {0.1, 0.2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.path.size() << " waypoints, limits " << c.vmax[0] << ", " << c.amax[0]);
    const Timed timed = timePath(c.path, c.vmax, c.amax);
    if (c.code != 0) {
      EXPECT_EQ(timed.code, c.code);
      EXPECT_TRUE(timed.points.empty());
      continue;
    }
    expectWithinLimits(timed, c.vmax, c.amax);
    EXPECT_EQ(timed.points.front().positions, c.path.front());
    EXPECT_EQ(timed.points.back().positions, c.path.back());
  }
  EXPECT_TRUE(timePath(cases.back().path, cases.back().vmax, cases.back().amax).statistics.uniformly_scaled);
}

}  // namespace
