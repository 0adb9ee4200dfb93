#include <cmath>

#include <gtest/gtest.h>

#include "support/scene_fixtures.h"

namespace {

TEST(SceneLimits, Arm6BoundsVelocitiesAndAccelerations) {
  testing::internal::CaptureStdout();
  auto scene = makeArm6Scene();
  testing::internal::GetCapturedStdout();
  std::vector<double> vmax;
  std::vector<double> amax;
  EXPECT_EQ(scene->getVmaxAndAmax(vmax, amax), 0) << "no limits before getJointLimits";

  std::vector<std::pair<double, double>> bounds{{9.0, 9.0}};
  ASSERT_EQ(scene->getJointLimits(bounds), 6);
  const std::vector<std::pair<double, double>> expected{
      {-3.05, 3.05}, {-2.1, 2.1}, {-2.6, 2.6}, {-3.05, 3.05}, {-2.2, 2.2}, {-6.28, 6.28}};
  EXPECT_EQ(bounds, expected);

  ASSERT_EQ(scene->getVmaxAndAmax(vmax, amax), 6);
  EXPECT_EQ(vmax, (std::vector<double>{2.0, 2.0, 2.5, 3.0, 3.0, 3.5}));
  EXPECT_EQ(amax, std::vector<double>(6, 3.0));
}

TEST(SceneLimits, FixedJointAmongTheGroupsFirstJointsHasNoBounds) {
  testing::internal::CaptureStdout();
  auto scene = makeTestRigScene("fixed_first");
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(scene->hasPlanningGroup()) << out;
  std::vector<std::pair<double, double>> bounds;
  testing::internal::CaptureStdout();
  EXPECT_EQ(scene->getJointLimits(bounds), -3);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "The bound is not defined! ");
  EXPECT_TRUE(bounds.empty());
  std::vector<double> vmax;
  std::vector<double> amax;
  EXPECT_EQ(scene->getVmaxAndAmax(vmax, amax), 0);
}

TEST(SceneLimits, SegmentCountComesFromRawJointDifferences) {
  testing::internal::CaptureStdout();
  auto arm6 = makeArm6Scene();
  auto wrist = makeTestRigScene("wrist");
  testing::internal::GetCapturedStdout();

  const double segment = arm6->getLongestValidSegment();
  const std::vector<double> from(6, 0.0);
  std::vector<double> to(6, 0.0);
  EXPECT_EQ(arm6->validSegmentCount(from.data(), from.data()), 0);
  to[0] = 2.5 * segment;
  EXPECT_EQ(arm6->validSegmentCount(from.data(), to.data()), 3);
  to[0] = 1.5 * segment;
  to[5] = -1.5 * segment;
  EXPECT_EQ(arm6->validSegmentCount(from.data(), to.data()), 3);
  to[5] = NAN;
  EXPECT_EQ(arm6->validSegmentCount(from.data(), to.data()), -1);
  EXPECT_FALSE(arm6->checkMotion(from.data(), to.data()));

  // A continuous joint: -3 to 3 is 6 rad of travel, not the 0.28 rad of the shorter way round.
  const double a = -3.0;
  const double b = 3.0;
  const double wrist_segment = wrist->getLongestValidSegment();
  EXPECT_EQ(wrist->validSegmentCount(&a, &b), static_cast<int>(std::ceil(6.0 / wrist_segment)));
}

}  // namespace
