// The trajectory goal as built from the planner's samples, and the checks and repairs of a command's goal.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "grab/pose_conversion.h"
#include "motion_rig.h"
#include "node/motion_request_checks.h"

namespace {

TrajectoryPoint sample(double value, double time, size_t values) {
  return {std::vector<double>(values, value), std::vector<double>(values, value / 10),
          std::vector<double>(values, value / 100), time};
}

TEST(MotionGoal, SamplesBecomePointsWithTruncatedTimesAndFewerThanTwoAreNeverSent) {
  // No controller serves the action: a goal that was sent would wait 5 s for it and fail with -3.
  InProcessNode in_process(motionConfig(Arm::Five, false));
  RosTwoWrapper& node = in_process.node();
  // Six values per sample on the five-joint arm: the last is not the arm's.
  const std::vector<TrajectoryPoint> samples{sample(0.5, 0.0, 6), sample(-1.0, 1.25, 6), sample(2.0, 2.3, 6)};
  testing::internal::CaptureStdout();
  const auto goal = MotionTestAccess::generate(node, samples);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(goal.trajectory.joint_names, (std::vector<std::string>{"joint1", "joint2", "joint3", "joint4", "joint5"}));
  ASSERT_EQ(goal.trajectory.points.size(), 3u);
  const auto& points = goal.trajectory.points;
  EXPECT_EQ(points[1].positions, std::vector<double>(5, -1.0));
  EXPECT_EQ(points[1].velocities, std::vector<double>(5, -0.1));
  EXPECT_EQ(points[1].accelerations, std::vector<double>(5, -0.01));
  EXPECT_TRUE(points[1].effort.empty());
  EXPECT_EQ(points[0].time_from_start.sec, 0);
  EXPECT_EQ(points[0].time_from_start.nanosec, 0u);
  EXPECT_EQ(points[1].time_from_start.sec, 1);
  EXPECT_EQ(points[1].time_from_start.nanosec, 250000000u);
  // The double nearest 2.3 lies just below it, and the fraction is truncated.
  EXPECT_EQ(points[2].time_from_start.sec, 2);
  EXPECT_EQ(points[2].time_from_start.nanosec, 299999999u);
  EXPECT_EQ(goal.trajectory.header.frame_id, "");

  for (const auto& few : {std::vector<TrajectoryPoint>{}, std::vector<TrajectoryPoint>{sample(0.1, 0.0, 5)}}) {
    testing::internal::CaptureStdout();
    const auto empty = MotionTestAccess::generate(node, few);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "The points size in path <2 error!\n");
    EXPECT_EQ(empty.trajectory.joint_names.size(), 5u);
    EXPECT_TRUE(empty.trajectory.points.empty());
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(MotionTestAccess::sendGoalAndWait(node, empty), -10);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
  }
}

TEST(MotionRequestChecks, ToolPosesWithBadValuesAreRefusedOthersNormalised) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const Pose7& bad :
       {Pose7{nan, 0, 0, 0, 0, 0, 1}, Pose7{0, 0, inf, 0, 0, 0, 1}, Pose7{0, 0, 0, 0, 0, nan, 1},
        Pose7{0, 0, 0, 0, 0, 0, 1.0011}, Pose7{0, 0, 0, 0, 0, 0, 0}, Pose7{0, 0, 0, 0, 0, 0, -inf}}) {
    Pose7 pose = bad;
    EXPECT_FALSE(normaliseToolPose(pose));
  }
  Pose7 pose{0.3, -0.2, 0.5, 0.5 * 1.0009, 0.5 * 1.0009, -0.5 * 1.0009, 0.5 * 1.0009};
  ASSERT_TRUE(normaliseToolPose(pose));
  EXPECT_DOUBLE_EQ(pose[0], 0.3);
  EXPECT_DOUBLE_EQ(pose[2], 0.5);
  EXPECT_DOUBLE_EQ(pose[3], 0.5);
  EXPECT_DOUBLE_EQ(pose[5], -0.5);
  EXPECT_FALSE(allFinite({0.0, nan}));
  EXPECT_TRUE(allFinite({}));
}

TEST(MotionRequestChecks, JointsTurnIntoTheirLimitsNearestTheReference) {
  const double turn = 2 * M_PI;
  const std::vector<std::pair<double, double>> limits{{-3.05, 3.05}, {-6.28, 6.28}, {-0.5, 0.5}, {-3.05, 3.05}};
  struct Case {
    std::vector<double> joints, reference, expected;
  };
  const Case cases[] = {
      // Within the limits: kept, however far from the reference.
      {{3.05, -6.28, 0.5, -M_PI / 2}, {-3, 6, -0.5, 3}, {3.05, -6.28, 0.5, -M_PI / 2}},
      // One representation fits; on a limit up to rounding counts, and the result is exactly within.
      {{M_PI + 0.5, 3.05 + turn, 0.5 - turn, -3.05 - turn}, {0, 0, 0, 0}, {M_PI + 0.5 - turn, 3.05, 0.5, -3.05}},
      // Two fit: the one nearer the reference.
      {{0, -6.5, 0, 0}, {0, 5.9, 0, 0}, {0, -6.5 + 2 * turn, 0, 0}},
      {{0, -6.5, 0, 0}, {0, -1, 0, 0}, {0, -6.5 + turn, 0, 0}},
      // None fits, or not a number: left as it is.
      {{0, 0, 10, std::nan("")}, {0, 0, 0, 0}, {0, 0, 10, std::nan("")}},
  };
  for (const Case& c : cases) {
    std::vector<double> joints = c.joints;
    turnJointsIntoLimits(joints, limits, c.reference);
    for (size_t j = 0; j < joints.size(); ++j) {
      if (std::isnan(c.expected[j])) {
        EXPECT_TRUE(std::isnan(joints[j]));
      } else {
        EXPECT_NEAR(joints[j], c.expected[j], 1e-12) << "joint " << j;
        const bool fits = c.expected[j] >= limits[j].first && c.expected[j] <= limits[j].second;
        if (fits) EXPECT_TRUE(joints[j] >= limits[j].first && joints[j] <= limits[j].second) << "joint " << j;
      }
    }
  }
  // An empty reference: the turn nearest the value itself.
  std::vector<double> joints{M_PI + 0.5};
  turnJointsIntoLimits(joints, limits, {});
  EXPECT_NEAR(joints[0], M_PI + 0.5 - turn, 1e-12);
}

}  // namespace
