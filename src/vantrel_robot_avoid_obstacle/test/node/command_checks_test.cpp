// The checks of a command before anything moves: the trajectory goal built from the planner's samples, request
// poses and joints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "grab/pose_conversion.h"
#include "node_rig.h"
#include "node/motion_request_checks.h"

namespace {

TEST(MotionGoal, SamplesBecomePointsWithTruncatedIncreasingTimesFewerThanTwoAreNeverSentAndOthersWaitForTheController) {
  // In simulation, and no controller serves the action.
  InProcessNode in_process(nodeConfig(Arm::Five, false));
  RosTwoWrapper& node = in_process.node();
  // Six values per sample on the five-joint arm: the last is not the arm's.
  const auto sample = [](double value, double time) {
    return TrajectoryPoint{std::vector<double>(6, value), std::vector<double>(6, value / 10),
                           std::vector<double>(6, value / 100), time};
  };
  testing::internal::CaptureStdout();
  const auto goal = Access::generate(node, {sample(0.5, 0.0), sample(-1.0, 1.25), sample(2.0, 2.3)});
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(goal.trajectory.joint_names, (std::vector<std::string>{"joint1", "joint2", "joint3", "joint4", "joint5"}));
  ASSERT_EQ(goal.trajectory.points.size(), 3u);
  const auto& point = goal.trajectory.points[1];
  EXPECT_EQ(point.positions, std::vector<double>(5, -1.0));
  EXPECT_EQ(point.velocities, std::vector<double>(5, -0.1));
  EXPECT_EQ(point.accelerations, std::vector<double>(5, -0.01));
  EXPECT_EQ(std::pair(point.time_from_start.sec, point.time_from_start.nanosec), std::pair(1, 250000000u));
  // The double nearest 2.3 lies just below it, and the fraction is truncated.
  const auto& last = goal.trajectory.points[2].time_from_start;
  EXPECT_EQ(std::pair(last.sec, last.nanosec), std::pair(2, 299999999u));
  testing::internal::CaptureStdout();
  const auto second = Access::generate(node, {sample(0.5, 1.0 - 0x1p-40), sample(0.5, 1.0)});
  testing::internal::GetCapturedStdout();
  const auto& below = second.trajectory.points[0].time_from_start;
  const auto& whole = second.trajectory.points[1].time_from_start;
  EXPECT_EQ(std::pair(below.sec, below.nanosec), std::pair(0, 999999999u));
  EXPECT_EQ(std::pair(whole.sec, whole.nanosec), std::pair(1, 0u));

  for (const auto& few : {std::vector<TrajectoryPoint>{}, std::vector<TrajectoryPoint>{sample(0.1, 0.0)}}) {
    testing::internal::CaptureStdout();
    const auto empty = Access::generate(node, few);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "The points size in path <2 error!\n");
    EXPECT_TRUE(empty.trajectory.points.empty());
    // Not sent, so not even the 5 s wait for the controller.
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(Access::sendGoalAndWait(node, empty), -10);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
  }
  // A goal that is sent waits 5 s for the missing controller, and then no longer.
  const auto sent = std::chrono::steady_clock::now();
  EXPECT_EQ(Access::sendGoalAndWait(node, goal), -3);
  EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::seconds(5));
  EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(60));
}

TEST(MotionRequestChecks, ToolPosesWithBadValuesAreRefusedOthersNormalised) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (Pose7 bad : {Pose7{nan, 0, 0, 0, 0, 0, 1}, Pose7{0, 0, inf, 0, 0, 0, 1}, Pose7{0, 0, 0, 0, 0, nan, 1},
                    Pose7{0, 0, 0, 0, 0, 0, 1.0011}, Pose7{0, 0, 0, 0, 0, 0, 0.9989}, Pose7{0, 0, 0, 0, 0, 0, 0},
                    Pose7{0, 0, 0, 0, 0, 0, -inf}}) {
    EXPECT_FALSE(normaliseToolPose(bad));
  }
  Pose7 pose{0.3, -0.2, 0.5, 0.5 * 1.0009, 0.5 * 1.0009, -0.5 * 1.0009, 0.5 * 1.0009};
  ASSERT_TRUE(normaliseToolPose(pose));
  const Pose7 expected{0.3, -0.2, 0.5, 0.5, 0.5, -0.5, 0.5};
  for (size_t i = 0; i < pose.size(); ++i) EXPECT_DOUBLE_EQ(pose[i], expected[i]) << i;
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
      // None fits: left as it is. An empty reference: the turn nearest the value itself.
      {{0, 0, 10, 0}, {0, 0, 0, 0}, {0, 0, 10, 0}},
      {{M_PI + 0.5, 0, 0, 0}, {}, {M_PI + 0.5 - turn, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    std::vector<double> joints = c.joints;
    turnJointsIntoLimits(joints, limits, c.reference);
    for (size_t j = 0; j < joints.size(); ++j) {
      EXPECT_NEAR(joints[j], c.expected[j], 1e-12) << "joint " << j;
      const bool fits = c.expected[j] >= limits[j].first && c.expected[j] <= limits[j].second;
      EXPECT_TRUE(!fits || (joints[j] >= limits[j].first && joints[j] <= limits[j].second)) << "joint " << j;
    }
  }
  std::vector<double> not_a_number{std::nan("")};
  turnJointsIntoLimits(not_a_number, limits, {0});
  EXPECT_TRUE(std::isnan(not_a_number[0]));
}

// Near on every joint, bounds included; a whole turn is not near, nor is a value that is not a number or a vector of
// another length. By default only a goal the arm stands at.
TEST(MotionRequestChecks, JointsAreAtAGoalWithinTheToleranceOnEveryJoint) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::vector<double> current, goal;
    bool at;
  };
  const Case cases[] = {
      {{}, {}, true},
      {{0.0, M_PI / 2, -M_PI}, {0.01, M_PI / 2 - 0.005, -M_PI}, true},
      {{0.0, M_PI / 2, -M_PI}, {0.0, M_PI / 2, -M_PI + 0.0101}, false},
      {{M_PI}, {-M_PI}, false},
      {{0.0, 0.0}, {0.0}, false},
      {{nan}, {nan}, false},
      {{0.0}, {std::numeric_limits<double>::infinity()}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(atJoints(c.current, c.goal, 0.01), c.at) << testing::PrintToString(c.goal);
  EXPECT_TRUE(atJoints({0.3, -1e9}, {0.3, -1e9}));
  EXPECT_FALSE(atJoints({0.3}, {0.3 + 1e-8}));
}

// No configuration, limits included, puts the tool farther from the base than the bound; a tool a metre long
// counts, or the bound would be short.
TEST(MotionRequestChecks, ArmReachBoundsTheToolAtSpecialJointValues) {
  for (const Arm arm : {Arm::Six, Arm::Five}) {
    const YAML::Node settings = nodeConfig(arm, false)["robot_avoid_obstacle"];
    testing::internal::CaptureStdout();
    ManipulatorPlanScene scene(settings["robot_descriptions_path"].as<std::string>(),
                               settings["urdf_path"].as<std::string>(), settings["srdf_path"].as<std::string>(),
                               settings["planned_joint_group"].as<std::string>(), 0.0, 1.0);
    std::vector<std::pair<double, double>> limits;
    scene.getJointLimits(limits);
    testing::internal::GetCapturedStdout();
    Eigen::Matrix4d tool = Eigen::Matrix4d::Identity();
    tool.topRightCorner<3, 1>() = Eigen::Vector3d(0.0, 0.0, 1.0);
    const double reach = armReachBound(*scene.getPlanningGroup(), tool);
    for (const double value : {0.0, M_PI / 2, -M_PI / 2, M_PI, -M_PI, -1e9, 1e9}) {
      std::vector<double> joints;
      for (const auto& [lower, upper] : limits) joints.push_back(std::clamp(value, lower, upper));
      Eigen::MatrixXd flange;
      scene.getPlanningGroup()->forwardKinematics(joints, flange);
      const Eigen::Matrix4d tool_pose = Eigen::Matrix4d(flange) * tool;
      const double distance = tool_pose.topRightCorner<3, 1>().norm();
      EXPECT_LE(distance, reach) << value;
    }
  }
}

}  // namespace
