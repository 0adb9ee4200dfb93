// ArmMoveJoints and "/move_to_goal" against the simulated arm controller, with a pillar in the obstacle map:
// refused goals, goals planned around the pillar, pose goals, goals inside the pillar and their log, and an
// interrupt while a command waits.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <future>

#include "arm_sim/command_client.hpp"
#include "arm_sim/topic_recorders.hpp"
#include "grab/pose_conversion.h"
#include "motion_rig.h"
#include "robot_model/core/joint_model_group.h"
#include "support/node_process.h"

namespace {

using namespace std::chrono_literals;
using ArmMoveJoints = vantrel_interfaces::srv::ArmMoveJoints;
using JointPath = std::vector<std::vector<double>>;

ArmMoveJoints::Request jointRequest(std::vector<double> joints) {
  ArmMoveJoints::Request request;
  request.cmd_type = 0;
  request.joints.data = std::move(joints);
  return request;
}

ArmMoveJoints::Request poseRequest(const Pose7& pose) {
  ArmMoveJoints::Request request;
  request.cmd_type = 1;
  std::copy(pose.begin(), pose.end(), request.pose.begin());
  return request;
}

// The last trajectory the controller played starts at `start`, ends at `goal`, keeps every sample within the
// joint limits and every segment free of collision.
void expectSafeTrajectory(MotionRig& rig, const std::vector<double>& start, const std::vector<double>& goal) {
  const auto accepted = rig.controller().acceptedGoals();
  ASSERT_FALSE(accepted.empty());
  const auto& points = accepted.back().points;
  ASSERT_GE(points.size(), 2u);
  for (size_t j = 0; j < start.size(); ++j) {
    EXPECT_NEAR(points.front().positions[j], start[j], 1e-9);
    EXPECT_NEAR(points.back().positions[j], goal[j], 1e-6);
  }
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = 0; j < start.size(); ++j) {
      EXPECT_GE(points[i].positions[j], rig.joints().limits[j].lower);
      EXPECT_LE(points[i].positions[j], rig.joints().limits[j].upper);
    }
    if (i > 0) EXPECT_TRUE(straightMotionFree(rig.node(), points[i - 1].positions, points[i].positions)) << i;
  }
}

TEST(MotionCommands, RefusedGoalsSendNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (Arm arm : {Arm::Five, Arm::Six}) {
    MotionRig rig(arm, false);
    RosTwoWrapper& node = rig.node();
    const size_t n = rig.start().size();
    const auto answer = [&](const ArmMoveJoints::Request& request) {
      const auto response = MotionTestAccess::moveJoints(node, request);
      return std::pair{response.code, response.message};
    };
    EXPECT_EQ(answer(jointRequest(std::vector<double>(n + 1, 0.0))),
              std::pair(-20, std::string("armMoveJointsCmd n_dof_ dose not equal data.size();!")));
    EXPECT_EQ(answer(jointRequest({})).first, -20);
    std::vector<double> not_finite(n, 0.1);
    not_finite[1] = nan;
    EXPECT_EQ(answer(jointRequest(not_finite)).first, -20);
    not_finite[1] = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(MotionTestAccess::moveToGoal(node, not_finite), -1);
    EXPECT_EQ(MotionTestAccess::moveToGoal(node, std::vector<double>(n - 1, 0.0)), -1);

    ArmMoveJoints::Request no_motion = jointRequest({});
    no_motion.cmd_type = 2;
    EXPECT_EQ(answer(no_motion), std::pair(0, std::string("success")));

    // Poses that are not finite or whose quaternion is off unit norm.
    for (const Pose7& pose :
         {Pose7{0.4, 0, 0.3, 0, 0, 0, 1.01}, Pose7{0.4, nan, 0.3, 0, 0, 0, 1}, Pose7{0.4, 0, 0.3, 0, 0, 0, 0}}) {
      EXPECT_EQ(answer(poseRequest(pose)), std::pair(-22, std::string("armMoveJointsCmd generate goal point failed!")));
    }
    EXPECT_EQ(answer(poseRequest({3.0, 0, 0.3, 0, 0, 0, 1})).first, -22) << "out of reach";
    EXPECT_TRUE(rig.controller().acceptedGoals().empty());
  }
}

TEST(MotionCommands, JointGoalAcrossThePillarIsPlannedAroundIt) {
  for (Arm arm : {Arm::Six, Arm::Five}) {
    MotionRig rig(arm, false);
    RosTwoWrapper& node = rig.node();
    fillObstacleMap(node);
    const Crossing crossing = findCrossing(rig);
    ASSERT_FALSE(crossing.start.empty());
    MotionTestAccess::setCurrentJoints(node, crossing.start);

    EXPECT_EQ(MotionTestAccess::moveJoints(node, jointRequest(crossing.goal)).code, 0);
    EXPECT_TRUE(MotionTestAccess::scene(node).worldHoldsOctomap(MotionTestAccess::octree(node)));
    EXPECT_FALSE(straightMotionFree(node, crossing.start, crossing.goal));
    expectSafeTrajectory(rig, crossing.start, crossing.goal);

    // "/move_to_goal" back, the same way round the pillar.
    MotionTestAccess::setCurrentJoints(node, crossing.goal);
    EXPECT_EQ(MotionTestAccess::moveToGoal(node, crossing.start), 0);
    expectSafeTrajectory(rig, crossing.goal, crossing.start);

    // Inside the pillar: planning fails and nothing moves.
    const size_t sent = rig.controller().acceptedGoals().size();
    MotionTestAccess::setCurrentJoints(node, crossing.start);
    JointPath path;
    EXPECT_EQ(MotionTestAccess::moveToGoalNotUpdateObstacle(node, crossing.inside, 1, path), -201);
    EXPECT_EQ(path, (JointPath{crossing.start, crossing.inside}));
    EXPECT_EQ(MotionTestAccess::moveToGoal(node, crossing.inside), -2);
    const auto response = MotionTestAccess::moveJoints(node, jointRequest(crossing.inside));
    EXPECT_EQ(response.code, -21);
    EXPECT_EQ(response.message, "armMoveJointsCmd MoveToGoalNotUpdateObstacle failed!");
    EXPECT_EQ(rig.controller().acceptedGoals().size(), sent);
  }
}

TEST(MotionCommands, FailedJointGoalOnTheRealRobotWritesItsLog) {
  MotionRig rig(Arm::Six, true);
  RosTwoWrapper& node = rig.node();
  fillObstacleMap(node);
  const Crossing crossing = findCrossing(rig);
  ASSERT_FALSE(crossing.start.empty());
  MotionTestAccess::setCurrentJoints(node, crossing.start);
  namespace fs = std::filesystem;
  fs::create_directory("data");
  auto& collision_enable = rig.recorders().collision_enable;

  EXPECT_EQ(MotionTestAccess::moveJoints(node, jointRequest(crossing.inside)).code, -21);
  // A trajectory the controller aborts fails too, and is logged as such.
  rig.controller().setScript({arm_sim::GoalOutcome::Abort, 0ms});
  EXPECT_EQ(MotionTestAccess::moveJoints(node, jointRequest(crossing.goal)).code, -21);

  // Each joint goal on the real robot first turns the arm's own collision stop on.
  ASSERT_TRUE(collision_enable.waitForCount(2, 2s));
  EXPECT_TRUE(collision_enable.messages().back()->data);

  std::vector<std::string> messages;
  for (const auto& entry : fs::directory_iterator("data")) {
    messages.push_back(readFile((entry.path() / "movejointscmd_log_error.txt").string()));
    if (messages.back().find("(path plan)") != std::string::npos) {
      // The start and the goal, six values each.
      EXPECT_EQ(readFile((entry.path() / "joint_positions.txt").string()).substr(0, 5), "2,6;\n");
    }
  }
  std::sort(messages.begin(), messages.end());
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[0].find("MoveJointsCmd failed(arm controller run), error code = -21"), std::string::npos);
  EXPECT_NE(messages[1].find("MoveJointsCmd failed(path plan), error code = -21"), std::string::npos);
}

TEST(MotionCommands, PoseGoalFromForwardKinematicsIsReached) {
  MotionRig rig(Arm::Six, false);
  RosTwoWrapper& node = rig.node();
  const auto& kinematics = MotionTestAccess::scene(node).getPlanningGroup()->kinematics_interface_ptr_;
  ASSERT_TRUE(kinematics);
  const Eigen::Matrix4d tool = MotionTestAccess::toolMatrix(node);
  // Negative joints and joints past a half turn, which the solver may give a whole turn away.
  for (const std::vector<double>& known :
       {std::vector<double>{-0.4, -0.5, 1.1, -0.3, 0.9, -0.7}, std::vector<double>{0.6, 0.2, 0.8, 0.0, M_PI / 2, 4.0},
        std::vector<double>{-2.9, -0.3, 1.0, 0.5, -1.2, -4.5}}) {
    const Eigen::Matrix4d flange = kinematics->forwardKinematics(known);
    const Eigen::Matrix4d target = flange * tool;
    const auto response = MotionTestAccess::moveJoints(node, poseRequest(isometryToPose(target)));
    ASSERT_EQ(response.code, 0) << response.message;
    const std::vector<double> reached = rig.controller().acceptedGoals().back().points.back().positions;
    const Eigen::Matrix4d reached_flange = kinematics->forwardKinematics(reached);
    EXPECT_TRUE(reached_flange.isApprox(flange, 1e-6)) << reached_flange << "\n" << flange;
    for (size_t j = 0; j < known.size(); ++j) {
      EXPECT_NEAR(std::remainder(reached[j] - known[j], 2 * M_PI), 0.0, 1e-6) << "joint " << j;
    }
    MotionTestAccess::setCurrentJoints(node, reached);
  }
}

TEST(MotionCommands, InterruptDuringTheWaitEndsTheRunCleanly) {
  MotionRig rig(Arm::Five, false, false);
  rig.controller().setScript({arm_sim::GoalOutcome::NeverFinish, 0ms});
  arm_sim::CommandClient client(rig.peer());
  auto run = std::async(std::launch::async, [&] { RosTwoWrapperTestAccess::run(rig.node()); });
  std::vector<double> goal = rig.start();
  goal[0] += 0.3;
  for (const auto end = std::chrono::steady_clock::now() + 5s;
       rig.controller().acceptedGoals().empty() && std::chrono::steady_clock::now() < end;) {
    client.moveToGoal(goal);
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_FALSE(rig.controller().acceptedGoals().empty());
  std::raise(SIGINT);
  EXPECT_EQ(run.wait_for(2s), std::future_status::ready);
}

}  // namespace
