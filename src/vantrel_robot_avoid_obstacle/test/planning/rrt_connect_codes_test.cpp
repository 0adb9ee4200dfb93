#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "planning/rrt_connect.h"
#include "support/config_space_scene.h"
#include "support/joint_space_scenes.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const std::string kStartInObstacle = "\033[41m ERROR: Start Point is in the obstacle\033[0m\n";
const std::string kGoalInObstacle = "\033[41m ERROR: Goal Point is in the obstacle\033[0m\n";
const std::string kStartOutOfRange = "\033[41m ERROR: Start Point is out of the range\033[0m\n";
const std::string kGoalOutOfRange = "\033[41m ERROR: Goal Point is out of the range\033[0m\n";

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
  planner.setStartAndGoal(start, goal);
  CaptureStdout();
  const int code = planner.plan(path);
  return {code, GetCapturedStdout()};
}

const JointPath kUntouched{{9.0, 9.0}};

TEST(RRTConnectCodes, StartAndGoalArePrintedAsFixedPointLists) {
  auto scene = squareScene();
  RRTConnectPlanner planner(scene.get());
  CaptureStdout();
  planner.setStartAndGoal({0.0, -0.5}, {0.25, 1.0});
  EXPECT_EQ(GetCapturedStdout(),
            "===========================>s:\n0.000000,-0.500000,\n===========================>g:\n0.250000,1.000000,\n");
}

TEST(RRTConnectCodes, CollisionTestsComeBeforeRangeTests) {
  auto scene = squareScene();
  RRTConnectPlanner planner(scene.get());
  JointPath path = kUntouched;

  PlanOutcome outcome = planOnce(planner, {0.5, 0.5}, {5.0, 0.0}, path);
  EXPECT_EQ(outcome.code, -1);
  EXPECT_EQ(outcome.output, kStartInObstacle);

  outcome = planOnce(planner, {-5.0, 0.0}, {0.5, 0.5}, path);
  EXPECT_EQ(outcome.code, -2);
  EXPECT_EQ(outcome.output, kGoalInObstacle);
  EXPECT_EQ(path, kUntouched);
}

TEST(RRTConnectCodes, OutOfRangeNamesTheJointAndItsBounds) {
  auto scene = squareScene();
  RRTConnectPlanner planner(scene.get());
  JointPath path = kUntouched;

  PlanOutcome outcome = planOnce(planner, {0.0, 1.5}, {2.0, 0.0}, path);
  EXPECT_EQ(outcome.code, -3);
  EXPECT_EQ(outcome.output, "range i is wrong: 1\nrange: -1, 1\n" + kStartOutOfRange);

  outcome = planOnce(planner, {0.0, 0.0}, {-1.25, 0.0}, path);
  EXPECT_EQ(outcome.code, -4);
  EXPECT_EQ(outcome.output, "range i is wrong: 0\nrange: -1, 1\n" + kGoalOutOfRange);
  EXPECT_EQ(path, kUntouched);
}

TEST(RRTConnectCodes, StatesOnTheBoundsAreInRange) {
  auto scene = squareScene();
  RRTConnectPlanner planner(scene.get());
  JointPath path;
  const PlanOutcome outcome = planOnce(planner, {-1.0, 1.0}, {1.0, -1.0}, path);
  EXPECT_EQ(outcome.code, 0);
  EXPECT_EQ(path, (JointPath{{-1.0, 1.0}, {1.0, -1.0}}));
}

TEST(RRTConnectCodes, MalformedStatesAreOutOfRangeAndNeverReachTheScene) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  auto scene = squareScene();
  RRTConnectPlanner planner(scene.get());
  JointPath path = kUntouched;

  PlanOutcome outcome = planOnce(planner, {0.0, nan}, {0.0, 0.0}, path);
  EXPECT_EQ(outcome.code, -3);
  EXPECT_EQ(outcome.output, "range i is wrong: 1\nrange: -1, 1\n" + kStartOutOfRange);
  EXPECT_EQ(planOnce(planner, {-inf, 0.0}, {0.0, 0.0}, path).code, -3);
  EXPECT_EQ(planOnce(planner, {0.0, 0.0}, {0.0, inf}, path).code, -4);

  outcome = planOnce(planner, {0.0}, {0.0, 0.0}, path);
  EXPECT_EQ(outcome.code, -3);
  EXPECT_EQ(outcome.output, "range size is wrong: 1, expected: 2\n" + kStartOutOfRange);
  EXPECT_EQ(planOnce(planner, {}, {0.0, 0.0}, path).code, -3);
  EXPECT_EQ(planOnce(planner, {0.0, 0.0}, {0.0, 0.0, 0.0}, path).code, -4);
  EXPECT_EQ(scene->state_tests, 2);  // only the well-formed starts of the two goal cases

  // A start in collision still comes first.
  EXPECT_EQ(planOnce(planner, {0.5, 0.5}, {0.0}, path).code, -1);
  EXPECT_EQ(path, kUntouched);
}

TEST(RRTConnectCodes, FreeStraightMotionGivesTwoWaypointsWithoutPostProcessing) {
  auto scene = squareScene();
  RRTConnectPlanner planner(scene.get());
  JointPath path = kUntouched;
  const PlanOutcome outcome = planOnce(planner, {-0.5, -0.5}, {0.9, -0.2}, path);
  EXPECT_EQ(outcome.code, 0);
  EXPECT_EQ(path, (JointPath{{-0.5, -0.5}, {0.9, -0.2}}));
  EXPECT_EQ(outcome.output.rfind("\033[42m Ready to begin RRTConnect planning\033[0m\n"
                                 "\033[33mGenerate Path easily ~~~ cost: ",
                                 0),
            0u);
  EXPECT_EQ(outcome.output.find("Ready to begin path simplify"), std::string::npos);
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
  EXPECT_EQ(outcome.output.find("reaches the goal!"), std::string::npos);
  EXPECT_EQ(path, kUntouched);
}

// The clock stands still until the given sample count is reached, then jumps to the given time.
PlanOutcome planWithJumpingClock(std::int64_t jump_to, JointPath& path) {
  auto scene = makeEnclosedGoalScene();
  RRTConnectPlanner* observed = nullptr;
  MicrosecondClock clock = [&observed, jump_to]() -> std::int64_t {
    if (observed == nullptr || observed->statistics().samples == 0) {
      return 0;
    }
    return observed->statistics().samples == 1 ? jump_to : jump_to + 1;
  };
  CountingSeedSource seeds(3);
  RRTConnectPlanner planner(scene.get(), {seeds.source(), clock});
  observed = &planner;
  PlanOutcome outcome = planOnce(planner, {0.1, 0.1}, {0.8, 0.8}, path);
  EXPECT_EQ(outcome.code, -6);
  outcome.code = planner.statistics().samples;
  return outcome;
}

TEST(RRTConnectCodes, TimeOutOnlyWhenMoreThanFifteenSecondsPassed) {
  JointPath path = kUntouched;
  PlanOutcome at_limit = planWithJumpingClock(15000000, path);
  EXPECT_EQ(at_limit.code, 2) << "exactly 15 s still runs one more sample";
  const std::string time_out = "\033[31m ERROR: Time out for 15s ! \033[0m\n";
  ASSERT_GE(at_limit.output.size(), time_out.size());
  EXPECT_EQ(at_limit.output.substr(at_limit.output.size() - time_out.size()), time_out);

  PlanOutcome beyond = planWithJumpingClock(15000001, path);
  EXPECT_EQ(beyond.code, 1);
  EXPECT_EQ(path, kUntouched);
}

TEST(RRTConnectCodes, RepeatedSearchesStartFromFreshTrees) {
  auto scene = makeWallWithGapScene(2);
  CountingSeedSource seeds(11);
  RRTConnectPlanner planner(scene.get(), {seeds.source(), wallClockMicroseconds});
  for (int round = 0; round < 3; ++round) {
    JointPath path;
    const PlanOutcome outcome = planOnce(planner, wallStart(2), wallGoal(2), path);
    ASSERT_EQ(outcome.code, 0);
    EXPECT_EQ(path.front(), wallStart(2));
    EXPECT_EQ(path.back(), wallGoal(2));
    // A failed search in between must not leave nodes behind that a later one would follow.
    JointPath unused;
    EXPECT_EQ(planOnce(planner, {0.0, 0.0}, wallGoal(2), unused).code, -1);
  }
}

}  // namespace
