#include <gtest/gtest.h>

#include <vector>

#include "planning/motion_bisection.h"
#include "support/config_space_scene.h"

namespace {

// Runs the bisection over n segments of [0, 1] and returns the fractions tested, `to` as 1.
std::vector<double> testedFractions(int segment_count, double invalid_fraction = -1.0) {
  MotionBisection bisection;
  std::vector<double> tested;
  double scratch = 0.0;
  const double to = 1.0;
  bisection.check(
      &to, segment_count,
      [&](const double* state) {
        tested.push_back(*state);
        return *state != invalid_fraction;
      },
      [&](double fraction) {
        scratch = fraction;
        return &scratch;
      });
  return tested;
}

TEST(MotionBisection, TestsTheEndThenMidpointsLevelByLevel) {
  EXPECT_EQ(testedFractions(8), (std::vector<double>{1.0, 4 / 8.0, 2 / 8.0, 6 / 8.0, 1 / 8.0, 3 / 8.0, 5 / 8.0, 7 / 8.0}));
  EXPECT_EQ(testedFractions(5), (std::vector<double>{1.0, 2 / 5.0, 1 / 5.0, 3 / 5.0, 4 / 5.0}));
  EXPECT_EQ(testedFractions(1), (std::vector<double>{1.0}));
  EXPECT_EQ(testedFractions(0), (std::vector<double>{1.0}));
  EXPECT_EQ(testedFractions(8, 1.0), (std::vector<double>{1.0}));
  EXPECT_EQ(testedFractions(8, 2 / 8.0), (std::vector<double>{1.0, 4 / 8.0, 2 / 8.0}));
}

TEST(MotionBisection, ReusedHelperGivesTheSameOrderEveryTime) {
  MotionBisection bisection;
  double scratch = 0.0;
  const double to = 1.0;
  for (int round = 0; round < 3; ++round) {
    int tests = 0;
    EXPECT_TRUE(bisection.check(&to, 16, [&](const double*) { return ++tests > 0; },
                                [&](double fraction) {
                                  scratch = fraction;
                                  return &scratch;
                                }));
    EXPECT_EQ(tests, 16);
  }
}

ConfigSpaceScene lineScene() {
  // One joint; segments of exactly 0.25.
  return ConfigSpaceScene({{-10.0, 10.0}}, 0.25);
}

TEST(MotionBisection, SceneRejectsAMotionBlockedInTheMiddleAfterTwoStateTests) {
  for (int n = 2; n <= 12; ++n) {
    ConfigSpaceScene scene = lineScene();
    const double middle = (n / 2) * 0.25;
    scene.addObstacle({{middle - 0.1}, {middle + 0.1}});
    const double from = 0.0;
    const double to = n * 0.25;
    ASSERT_EQ(scene.segmentCount(&from, &to), n);
    EXPECT_FALSE(scene.checkMotion(&from, &to)) << n;
    EXPECT_EQ(scene.states_tested_in_motions, 2) << n;
  }
}

TEST(MotionBisection, SceneTestsAStandingMotionOnceAndNeverTheStartState) {
  ConfigSpaceScene scene = lineScene();
  scene.addObstacle({{-0.1}, {0.1}});
  const double here = 1.0;
  EXPECT_TRUE(scene.checkMotion(&here, &here));
  EXPECT_EQ(scene.states_tested_in_motions, 1);

  const double blocked_from = 0.0;
  const double to = 2.0;
  EXPECT_TRUE(scene.checkMotion(&blocked_from, &to));
  EXPECT_FALSE(scene.checkMotion(&to, &blocked_from));
  EXPECT_EQ(scene.state_tests, 0);
}

TEST(MotionBisection, SceneMarginVariantGrowsTheObstacles) {
  ConfigSpaceScene scene = lineScene();
  scene.addObstacle({{1.0}, {1.2}});
  scene.setMargin(0.3);
  const double from = 0.0;
  const double to = 0.75;
  EXPECT_TRUE(scene.checkMotion(&from, &to));
  EXPECT_FALSE(scene.checkMotionWithMargin(&from, &to));
  EXPECT_TRUE(scene.isStateValid(&to));
  EXPECT_FALSE(scene.isStateValidWithMargin(&to));
}

}  // namespace
