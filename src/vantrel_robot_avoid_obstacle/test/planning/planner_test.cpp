#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "planning/motion_bisection.h"
#include "planning/path_plan_and_post_processing.h"
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
  EXPECT_EQ(testedFractions(bisection, 8),
            (std::vector<double>{1.0, 4 / 8.0, 2 / 8.0, 6 / 8.0, 1 / 8.0, 3 / 8.0, 5 / 8.0, 7 / 8.0}));
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
  struct Case {
    std::int64_t jump_to;
    int code;
    int samples;
  };
  for (const Case& c : {Case{0, -5, 10000}, Case{15000000, -6, 2}, Case{15000001, -6, 1}}) {
    auto scene = makeEnclosedGoalScene();
    const RRTConnectPlanner* observed = nullptr;
    MicrosecondClock clock = [&observed, jump_to = c.jump_to]() -> std::int64_t {
      const int samples = observed == nullptr ? 0 : observed->statistics().samples;
      return samples == 0 ? 0 : samples == 1 ? jump_to : jump_to + 1;
    };
    RRTConnectPlanner planner(scene.get(), {seededSource(3), clock});
    observed = &planner;
    JointPath path = kUntouched;
    EXPECT_EQ(planOnce(planner, {0.1, 0.1}, {0.8, 0.8}, path), c.code) << c.jump_to;
    EXPECT_EQ(planner.statistics().samples, c.samples) << c.jump_to;
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
  const std::vector<double> start{0.1, 0.1};
  const std::vector<double> goal{0.8, 0.8};
  JointPath path;
  ASSERT_EQ(planOnce(planner, start, goal, path), 0);
  ASSERT_GT(planner.statistics().samples, 0) << "the straight motion must be blocked";
  EXPECT_EQ(path.front(), start);
  EXPECT_EQ(path.back(), goal);
  for (std::size_t k = 0; k + 1 < path.size(); ++k) {
    EXPECT_TRUE(scene.checkMotion(path[k].data(), path[k + 1].data())) << "segment " << k;
  }
  addRingAroundGoal(scene);
  path = kUntouched;
  EXPECT_EQ(planOnce(planner, start, goal, path), -5);
  EXPECT_EQ(path, kUntouched);
  // Above everything from bound to bound: the two ends alone, without a sample.
  EXPECT_EQ(planOnce(planner, {0.0, 1.0}, {1.0, 1.0}, path), 0);
  EXPECT_EQ(path, (JointPath{{0.0, 1.0}, {1.0, 1.0}}));
  EXPECT_EQ(planner.statistics().samples, 0);
}

// Runs awayFromObstacle with reproducible seeds and a clock that stands still.
JointPath repair(PlanSceneInterface& scene, JointPath path, std::uint32_t seed = 1) {
  RRTConnectPlanner planner(&scene, {seededSource(seed), [] { return std::int64_t{0}; }});
  capturedOutput([&] { planner.awayFromObstacle(path); });
  return path;
}

// A waypoint too deep in an obstacle stays; one on the upper bound of joint 0 inside an obstacle's margin moves
// out of the margin and stays inside the bounds.
TEST(WaypointRepair, MovesWaypointsOutOfTheMarginWithinTheBounds) {
  ConfigSpaceScene scene = square(0.0, 1.0);
  scene.addObstacle({{0.2, 0.2}, {0.8, 0.8}});
  const JointPath deep{{0.1, 0.1}, {0.5, 0.5}, {0.9, 0.1}, {0.9, 0.9}};
  EXPECT_EQ(repair(scene, deep), deep);
  const JointPath path{{0.5, 0.2}, {1.0, 0.5}, {0.5, 0.8}, {0.4, 0.9}};
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ConfigSpaceScene margin_scene = square(0.0, 1.0);
    margin_scene.addObstacle({{0.97, 0.45}, {0.99, 0.47}});
    margin_scene.setMargin(0.03);
    const JointPath result = repair(margin_scene, path, seed);
    ASSERT_EQ(result.size(), 4u);
    EXPECT_NE(result[1], path[1]);
    EXPECT_LE(result[1][0], 1.0);
    EXPECT_TRUE(margin_scene.isStateValidWithMargin(result[1].data()));
    EXPECT_EQ(result.front(), path.front());
    EXPECT_EQ(result.back(), path.back());
  }
}

const double kNan = std::numeric_limits<double>::quiet_NaN();


struct FailureCase {
  std::vector<double> start;
  std::vector<double> goal;
  int code;
  int motions_accepted = -1;
  std::vector<double> vmax{1.0, 1.0};
  std::vector<double> amax{3.0, 3.0};
};

// In [-1, 1]^2 with an obstacle around (0.5, 0.5). The search limits (-5, -6) are the planner's own test's.
TEST(PathPlanAndPostProcessing, FailuresComeInTheirOrderAndLeaveNoPoints) {
  const std::vector<FailureCase> cases{
      {{0.5, 0.5}, {5.0, 0.0}, -1},  // a start in collision before the goal's range
      {{0.5, 0.5}, {0.0}, -1},
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
    const std::string output =
        capturedOutput([&] { code = facade.pathPlanAndSimplify(failure.start, failure.goal, points); });
    EXPECT_EQ(code, failure.code) << output;
    EXPECT_TRUE(points.empty());
  }
}

}  // namespace
