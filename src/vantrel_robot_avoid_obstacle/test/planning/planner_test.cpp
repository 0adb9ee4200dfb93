#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "planning/motion_bisection.h"
#include "planning/path_plan_and_post_processing.h"
#include "planning/path_time_calculator.h"
#include "planning/rrt_connect.h"
#include "support/captured_output.h"
#include "support/config_space_scene.h"

namespace {

// The fractions of [0, 1] the bisection tests over n segments, `to` as 1, until `valid` refuses one.
std::vector<double> testedFractions(MotionBisection& bisection, int segment_count,
                                    const std::function<bool(double)>& valid = [](double) { return true; }) {
  std::vector<double> tested;
  double scratch = 0.0;
  const double to = 1.0;
  bisection.check(
      &to, segment_count,
      [&](const double* state) {
        tested.push_back(*state);
        return valid(*state);
      },
      [&](double fraction) {
        scratch = fraction;
        return &scratch;
      });
  return tested;
}

TEST(MotionBisection, TestsTheEndThenMidpointsLevelByLevelUntilARefusal) {
  MotionBisection bisection;
  EXPECT_EQ(testedFractions(bisection, 8, [](double f) { return f != 2 / 8.0; }),
            (std::vector<double>{1.0, 4 / 8.0, 2 / 8.0}));
  // The middles of the largest count stay inside the segment: the right half of the first split is the first
  // interval whose index sum exceeds the int range.
  int tests = 0;
  const std::vector<double> tested =
      testedFractions(bisection, std::numeric_limits<int>::max(), [&tests](double) { return ++tests < 4; });
  ASSERT_EQ(tested.size(), 4u);
  EXPECT_NEAR(tested[3], 0.75, 1e-9);
}

const JointPath kUntouched{{9.0, 9.0}};

int planOnce(RRTConnectPlanner& planner, const std::vector<double>& start, const std::vector<double>& goal,
             JointPath& path) {
  int code = 0;
  capturedOutput([&] {
    planner.setStartAndGoal(start, goal);
    code = planner.plan(path);
  });
  return code;
}

TEST(RRTConnect, UnreachableGoalEndsAfterTenThousandSamplesOrOnceMoreThanFifteenSecondsPassed) {
  // The clock stands still until the first sample, then jumps to the given time; 0 never jumps.
  using Case = std::tuple<std::int64_t, int, int>;  // the time jumped to, the code, the samples drawn
  for (const auto& [jump_to, code, samples] : {Case{0, -5, 10000}, Case{15000000, -6, 2}, Case{15000001, -6, 1}}) {
    auto scene = makeEnclosedGoalScene();
    const RRTConnectPlanner* observed = nullptr;
    MicrosecondClock clock = [&observed, jump = jump_to]() -> std::int64_t {
      const int drawn = observed == nullptr ? 0 : observed->statistics().samples;
      return drawn == 0 ? 0 : drawn == 1 ? jump : jump + 1;
    };
    RRTConnectPlanner planner(scene.get(), {seededSource(3), clock});
    observed = &planner;
    JointPath path = kUntouched;
    EXPECT_EQ(planOnce(planner, {0.1, 0.1}, {0.8, 0.8}, path), code) << jump_to;
    EXPECT_EQ(planner.statistics().samples, samples) << jump_to;
    EXPECT_EQ(path, kUntouched);
  }
}

ConfigSpaceScene square(double lo, double hi) {
  return ConfigSpaceScene(std::vector<std::pair<double, double>>(2, {lo, hi}));
}

// The first search grows trees round a blocker to the goal; then the goal is shut in. A second search that
// kept any earlier vertex would join the goal's old tree outside the ring; from fresh trees it cannot.
TEST(RRTConnect, RepeatedSearchesStartFromFreshTreesAndAFreeStraightMotionNeedsNone) {
  ConfigSpaceScene scene = square(0.0, 1.0);
  scene.addObstacle({{0.4, 0.0}, {0.5, 0.6}});
  RRTConnectPlanner planner(&scene, {seededSource(11), [] { return std::int64_t{0}; }});
  const std::vector<double> start{0.1, 0.1}, goal{0.8, 0.8};
  JointPath path;
  ASSERT_EQ(planOnce(planner, start, goal, path), 0);
  ASSERT_GT(planner.statistics().samples, 0) << "the straight motion must be blocked";
  EXPECT_EQ(path.front(), start);
  EXPECT_EQ(path.back(), goal);
  for (std::size_t k = 0; k + 1 < path.size(); ++k)
    EXPECT_TRUE(scene.checkMotion(path[k].data(), path[k + 1].data())) << "segment " << k;
  addRingAroundGoal(scene);
  path = kUntouched;
  EXPECT_EQ(planOnce(planner, start, goal, path), -5);
  EXPECT_EQ(path, kUntouched);
  // Above everything from bound to bound: the two ends alone, without a sample.
  EXPECT_EQ(planOnce(planner, {0.0, 1.0}, {1.0, 1.0}, path), 0);
  EXPECT_EQ(path, (JointPath{{0.0, 1.0}, {1.0, 1.0}}));
  EXPECT_EQ(planner.statistics().samples, 0);
}

const double kNan = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();

struct FailureCase {
  std::vector<double> start, goal;
  int code;
  int motions_accepted = -1;
  std::vector<double> vmax{1.0, 1.0};
  std::vector<double> amax{3.0, 3.0};
};

// In [-1, 1]^2 with an obstacle around (0.5, 0.5). The search limits (-5, -6) are the planner's own test's.
TEST(PathPlanAndPostProcessing, FailuresComeInTheirOrderAndLeaveNoPoints) {
  const std::vector<FailureCase> cases{
      {{0.5, 0.5}, {5.0, 0.0}, -1},  // a start in collision before the goal's range
      {{-5.0, 0.0}, {0.5, 0.5}, -2},
      {{0.0, 1.5}, {2.0, 0.0}, -3},
      {{0.0, kNan}, {0.0, 0.0}, -3},
      {{}, {0.0, 0.0}, -3},
      {{0.0, 0.0}, {-1.25, 0.0}, -4},
      {{0.0, 0.0}, {0.0, 0.0, 0.0}, -4},
      // The planner's direct check passes, the driver's re-check fails and so does every detour.
      {{-0.5, -0.5}, {0.5, -0.5}, -7, 1},
      {{-0.5, -0.5}, {0.5, -0.5}, -3, -1, {}, {}},
      {{-0.5, -0.5}, {0.5, -0.5}, -8, -1, {1.0, 0.0}, {3.0, 3.0}},
  };
  for (const FailureCase& failure : cases) {
    ConfigSpaceScene scene = square(-1.0, 1.0);
    scene.addObstacle({{0.4, 0.4}, {0.6, 0.6}});
    scene.rejectMotionsAfter(failure.motions_accepted);
    scene.setVelocityAndAccelerationLimits(failure.vmax, failure.amax);
    PathPlanAndPostProcessing facade(&scene, {seededSource(42), [] { return std::int64_t{0}; }});
    std::vector<TrajectoryPoint> points(2);
    int code = 0;
    const std::string output = capturedOutput([&] { code = facade.pathPlanAndSimplify(failure.start, failure.goal, points); });
    EXPECT_EQ(code, failure.code) << output;
    EXPECT_TRUE(points.empty());
  }
}

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

// Recomputed from the returned positions and times alone: times increase, every segment's velocity is
// within its limit and the acceleration at every sample (the change between the velocities of its two
// segments over their mean duration; an end sample mirrors its only segment) within its limit + 0.01.
void expectWithinLimits(const Timed& timed, const std::vector<double>& vmax, const std::vector<double>& amax) {
  ASSERT_EQ(timed.code, 0);
  const std::vector<TrajectoryPoint>& points = timed.points;
  const std::size_t n = points.size();
  for (std::size_t j = 0; j < vmax.size(); ++j) {
    // Entry k holds segment k - 1; the entries before the first and after the last mirror their neighbours.
    std::vector<double> velocity(n + 1), duration(n + 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
      duration[i + 1] = points[i + 1].time_from_start - points[i].time_from_start;
      ASSERT_GT(duration[i + 1], 0.0) << i;
      velocity[i + 1] = (points[i + 1].positions[j] - points[i].positions[j]) / duration[i + 1];
      EXPECT_LE(std::fabs(velocity[i + 1]), vmax[j]) << "segment " << i << " joint " << j;
    }
    velocity[0] = -velocity[1], duration[0] = duration[1];
    velocity[n] = -velocity[n - 1], duration[n] = duration[n - 1];
    for (std::size_t i = 0; i < n; ++i) {
      const double acceleration = 2.0 * (velocity[i + 1] - velocity[i]) / (duration[i] + duration[i + 1]);
      EXPECT_LE(std::fabs(acceleration), amax[j] + 0.01) << "sample " << i << " joint " << j;
    }
  }
}

// One joint over 1 rad at 1 rad/s with 100 rad/s^2: the time, velocity and acceleration of every sample. Every
// joint accelerates from the first point, not only the first joint.
TEST(PathTimeCalculator, TwoPointReferenceValues) {
  const Timed fast = timePath({{0.0}, {1.0}}, {1.0}, {100.0});
  ASSERT_EQ(fast.code, 0);
  ASSERT_EQ(fast.points.size(), 5u);
  const double times[] = {0, 0.25, 0.5, 0.75, 1.0}, velocities[] = {0, 1, 1, 1, 0}, accelerations[] = {8, 0, 0, 0, -8};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_NEAR(fast.points[i].time_from_start, times[i], 1e-9) << i;
    EXPECT_NEAR(fast.points[i].velocities[0], velocities[i], 1e-9) << i;
    EXPECT_NEAR(fast.points[i].accelerations[0], accelerations[i], 1e-9) << i;
  }
  const Timed second_joint = timePath({{0.0, 0.0}, {0.0, 1.0}}, {1.0, 1.0}, {100.0, 100.0});
  ASSERT_EQ(second_joint.code, 0);
  EXPECT_NEAR(second_joint.points[0].accelerations[1], 8.0, 1e-9);
}

// Refused paths leave no points; every other path keeps its ends and stays within the limits, also with
// extreme limits and tiny segments.
TEST(PathTimeCalculator, RefusalsAndExtremeCasesAgainstTheLimits) {
  struct Case {
    JointPath path;
    std::vector<double> vmax, amax;
    int code = 0;
  };
  const std::vector<Case> cases{
      {{{0.5}}, {1.0}, {1.0}, -1},
      {{}, {1.0}, {1.0}, -1},
      {{{0, 0}, {1, 1}}, {1.0, 1.0}, {-1.0, 1.0}, -8},
      {{{0, 0}, {1, 1}}, {kNan, 1.0}, {1.0, 1.0}, -8},
      {{{0, 0}, {1, 1}}, {1.0, 1.0}, {1.0, kInf}, -8},
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

// A waypoint may repeat: it stays a point of its own, more than a nanosecond after the one before, so the times
// the controller gets in whole nanoseconds still increase.
TEST(PathTimeCalculator, RepeatedWaypointsKeepTheirPointsMoreThanANanosecondApart) {
  const double h = M_PI / 2;
  const std::vector<double> a5{0, h, -h, M_PI, -M_PI}, b5{h, 0, 0, -h, M_PI}, c5{-M_PI, -h, h, 0, 0};
  const std::vector<double> a6{0, h, -h, M_PI, -M_PI, 0}, b6{M_PI, M_PI, M_PI, -M_PI, -M_PI, -M_PI};
  struct Case {
    JointPath path;
    double vmax, amax;
  };
  const std::vector<Case> cases{
      {{{0.0}, {0.0}, {1.0}, {2.0}}, 1.0, 3.0},              // at the start
      {{a5, b5, b5, c5}, 2.0, 5.0},                          // in the middle
      {{a6, b6, a6, a6}, 1.0, 1.0},                          // at the end
      {{a5, a5, a5, b5, b5, b5, b5, c5, c5}, 3.0, 0.5},      // several in a row
      {{b6, b6}, 1.0, 1.0},                                  // the whole path one point
      {{a5, a5, a5}, 1.0, 1.0},
      {{{0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}}, 1.0, 1.0},
      {{{0.0}, {1e3}, {1e3}, {2e3}}, 0.1, 0.01},             // hours from the start
      {{{0.0}, {1e-12}, {1e-12}, {2e-12}, {2e-12}}, 1e8, 1e8},  // tiny motions under huge limits
  };
  for (const Case& c : cases) {
    const std::size_t dof = c.path.front().size();
    SCOPED_TRACE(testing::Message() << c.path.size() << " waypoints of " << dof << " joints");
    const std::vector<double> vmax(dof, c.vmax), amax(dof, c.amax);
    const Timed timed = timePath(c.path, vmax, amax);
    expectWithinLimits(timed, vmax, amax);
    if (c.path.size() >= 4) {
      ASSERT_EQ(timed.points.size(), c.path.size());
      for (std::size_t i = 0; i < c.path.size(); ++i) EXPECT_EQ(timed.points[i].positions, c.path[i]) << i;
    } else {
      ASSERT_EQ(timed.points.size(), 5u);
    }
    for (std::size_t i = 0; i + 1 < timed.points.size(); ++i) {
      EXPECT_GT(timed.points[i + 1].time_from_start - timed.points[i].time_from_start, 1e-9) << i;
    }
  }
}

}  // namespace
