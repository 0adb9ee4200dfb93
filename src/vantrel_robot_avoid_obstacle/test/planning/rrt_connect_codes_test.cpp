#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "planning/rrt_connect.h"
#include "support/captured_output.h"
#include "support/joint_space_scenes.h"

namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const JointPath kUntouched{{9.0, 9.0}};

// A square [-1, 1]^2 with an obstacle around (0.5, 0.5).
std::unique_ptr<ConfigSpaceScene> squareScene() {
  auto scene = std::make_unique<ConfigSpaceScene>(std::vector<std::pair<double, double>>(2, {-1.0, 1.0}));
  scene->addObstacle({{0.4, 0.4}, {0.6, 0.6}});
  return scene;
}

struct PlanOutcome {
  int code;
  std::string output;  // what plan printed, after the start and goal lines
};

PlanOutcome planOnce(RRTConnectPlanner& planner, const std::vector<double>& start, const std::vector<double>& goal,
                     JointPath& path) {
  capturedOutput([&] { planner.setStartAndGoal(start, goal); });
  PlanOutcome outcome{};
  outcome.output = capturedOutput([&] { outcome.code = planner.plan(path); });
  return outcome;
}

struct RefusalCase {
  std::vector<double> start;
  std::vector<double> goal;
  int code;
  std::string output;
};

std::string outOfRange(const std::string& lines, bool start) {
  return lines + "\033[41m ERROR: " + (start ? "Start" : "Goal") + " Point is out of the range\033[0m\n";
}

TEST(RRTConnectCodes, RefusalsComeInTheirOrderWithTheirMessages) {
  const std::string start_in_obstacle = "\033[41m ERROR: Start Point is in the obstacle\033[0m\n";
  const std::vector<RefusalCase> cases{
      {{0.5, 0.5}, {5.0, 0.0}, -1, start_in_obstacle},  // collision before the goal's range
      {{0.5, 0.5}, {0.0}, -1, start_in_obstacle},
      {{-5.0, 0.0}, {0.5, 0.5}, -2, "\033[41m ERROR: Goal Point is in the obstacle\033[0m\n"},
      {{0.0, 1.5}, {2.0, 0.0}, -3, outOfRange("range i is wrong: 1\nrange: -1, 1\n", true)},
      {{0.0, 0.0}, {-1.25, 0.0}, -4, outOfRange("range i is wrong: 0\nrange: -1, 1\n", false)},
      {{0.0, kNan}, {0.0, 0.0}, -3, outOfRange("range i is wrong: 1\nrange: -1, 1\n", true)},
      {{-kInf, 0.0}, {0.0, 0.0}, -3, outOfRange("range i is wrong: 0\nrange: -1, 1\n", true)},
      {{0.0, 0.0}, {0.0, kInf}, -4, outOfRange("range i is wrong: 1\nrange: -1, 1\n", false)},
      {{0.0}, {0.0, 0.0}, -3, outOfRange("range size is wrong: 1, expected: 2\n", true)},
      {{}, {0.0, 0.0}, -3, outOfRange("range size is wrong: 0, expected: 2\n", true)},
      {{0.0, 0.0}, {0.0, 0.0, 0.0}, -4, outOfRange("range size is wrong: 3, expected: 2\n", false)},
  };
  auto scene = squareScene();
  RRTConnectPlanner planner(scene.get());
  for (const RefusalCase& refusal : cases) {
    JointPath path = kUntouched;
    const PlanOutcome outcome = planOnce(planner, refusal.start, refusal.goal, path);
    EXPECT_EQ(outcome.code, refusal.code) << refusal.output;
    EXPECT_EQ(outcome.output, refusal.output);
    EXPECT_EQ(path, kUntouched);
  }
}

TEST(RRTConnectCodes, FreeStraightMotionFromTheBoundsGivesTwoWaypointsWithoutPostProcessing) {
  auto scene = squareScene();
  RRTConnectPlanner planner(scene.get());
  JointPath path = kUntouched;
  const PlanOutcome outcome = planOnce(planner, {-1.0, 1.0}, {1.0, -1.0}, path);
  EXPECT_EQ(outcome.code, 0);
  EXPECT_EQ(path, (JointPath{{-1.0, 1.0}, {1.0, -1.0}}));
  EXPECT_EQ(scene->motion_checks, 1);
  EXPECT_EQ(planner.statistics().samples, 0);
}

TEST(RRTConnectCodes, EnclosedGoalExhaustsExactlyTenThousandSamples) {
  auto scene = makeEnclosedGoalScene();
  CountingSeedSource seeds(7);
  RRTConnectPlanner planner(scene.get(), {seeds.source(), wallClockMicroseconds});
  JointPath path = kUntouched;
  const PlanOutcome outcome = planOnce(planner, {0.1, 0.1}, {0.8, 0.8}, path);
  EXPECT_EQ(outcome.code, -5);
  EXPECT_EQ(planner.statistics().samples, 10000);
  EXPECT_EQ(*seeds.seeds_drawn, 10000u);
  EXPECT_EQ(path, kUntouched);
}

TEST(RRTConnectCodes, TimeOutOnlyWhenMoreThanFifteenSecondsPassed) {
  // The clock stands still until the first sample, then jumps to the given time.
  for (const std::int64_t jump_to : {std::int64_t{15000000}, std::int64_t{15000001}}) {
    auto scene = makeEnclosedGoalScene();
    const RRTConnectPlanner* observed = nullptr;
    MicrosecondClock clock = [&observed, jump_to]() -> std::int64_t {
      const int samples = observed == nullptr ? 0 : observed->statistics().samples;
      return samples == 0 ? 0 : samples == 1 ? jump_to : jump_to + 1;
    };
    CountingSeedSource seeds(3);
    RRTConnectPlanner planner(scene.get(), {seeds.source(), clock});
    observed = &planner;
    JointPath path = kUntouched;
    const PlanOutcome outcome = planOnce(planner, {0.1, 0.1}, {0.8, 0.8}, path);
    EXPECT_EQ(outcome.code, -6);
    EXPECT_EQ(planner.statistics().samples, jump_to == 15000000 ? 2 : 1) << "exactly 15 s runs one more sample";
    EXPECT_EQ(path, kUntouched);
  }
}

TEST(RRTConnectCodes, RepeatedSearchesStartFromFreshTrees) {
  auto scene = makeWallWithGapScene(2);
  CountingSeedSource seeds(11);
  RRTConnectPlanner planner(scene.get(), {seeds.source(), wallClockMicroseconds});
  for (int round = 0; round < 3; ++round) {
    JointPath path;
    ASSERT_EQ(planOnce(planner, wallStart(2), wallGoal(2), path).code, 0);
    EXPECT_EQ(path.front(), wallStart(2));
    EXPECT_EQ(path.back(), wallGoal(2));
    // A failed search in between must not leave nodes behind that a later one would follow.
    EXPECT_EQ(planOnce(planner, {0.0, 0.0}, wallGoal(2), path).code, -1);
  }
}

}  // namespace
