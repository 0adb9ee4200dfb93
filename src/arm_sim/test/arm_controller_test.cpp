// The simulated arm controller: the goals it refuses, and the playback of accepted goals at a
// speed factor with joint states named while it moves, on a six- and a five-joint arm. Scripted
// endings, cancels and preemption are driven by the node's motion tests.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "arm_sim/arm_controller.hpp"
#include "arm_sim/topic_recorders.hpp"

#include "../../ros2_standin/test/support/ros_test_support.hpp"

namespace
{

using namespace std::chrono_literals;
using arm_sim::JointSet;
using FollowJointTrajectory = control_msgs::action::FollowJointTrajectory;
using Trajectory = trajectory_msgs::msg::JointTrajectory;
using Clock = std::chrono::steady_clock;
using Code = rclcpp_action::ResultCode;

// Joint names and limits of the arms in the robot descriptions.
const JointSet kArm6{{"joint1", "joint2", "joint3", "joint4", "joint5", "joint6"},
  {{-3.05, 3.05}, {-2.1, 2.1}, {-2.6, 2.6}, {-3.05, 3.05}, {-2.2, 2.2}, {-6.28, 6.28}}};
const JointSet kArm5{{"joint1", "joint2", "joint3", "joint4", "joint5"},
  {{-3.05, 3.05}, {-2.0, 2.0}, {-2.5, 2.5}, {-2.5, 2.5}, {-3.05, 3.05}}};

// Sample i at times[i] holds every joint at share[i] of the way from its lower to its upper limit.
Trajectory sweep(const JointSet & joints, std::vector<double> times, std::vector<double> share)
{
  Trajectory trajectory;
  trajectory.joint_names = joints.names;
  trajectory.points.resize(times.size());
  for (size_t i = 0; i < times.size(); ++i) {
    for (const auto & limits : joints.limits) {
      trajectory.points[i].positions.push_back(limits.lower + share[i] * (limits.upper - limits.lower));
    }
    trajectory.points[i].time_from_start = rclcpp::Duration::from_seconds(times[i]);
  }
  return trajectory;
}

TEST(TrajectoryRules, RefuseWhatARealControllerRefuses)
{
  for (const JointSet & joints : {kArm6, kArm5}) {
    const size_t last = joints.names.size() - 1;
    const Trajectory at_limits = sweep(joints, {0.0, 0.1}, {0.0, 1.0});
    auto fault = [&](auto change) {
        Trajectory trajectory = at_limits;
        change(trajectory);
        return arm_sim::findTrajectoryFault(trajectory, joints);
      };
    EXPECT_EQ(fault([](Trajectory &) {}), "");
    EXPECT_NE(fault([](Trajectory & t) {t.joint_names[0] = "joint7";}), "");
    EXPECT_NE(fault([](Trajectory & t) {t.joint_names[1] = t.joint_names[0];}), "");
    EXPECT_NE(fault([](Trajectory & t) {t.points.clear();}), "");
    EXPECT_NE(fault([](Trajectory & t) {t.points[1].positions.pop_back();}), "");
    EXPECT_NE(fault([](Trajectory & t) {t.points[1].time_from_start.nanosec = 0;}), "");
    EXPECT_NE(fault([](Trajectory & t) {t.points[0].time_from_start.sec = -1;}), "");
    EXPECT_NE(fault([&](Trajectory & t) {t.points[1].positions[last] += 1e-9;}), "");
    EXPECT_NE(fault([&](Trajectory & t) {t.points[0].positions[last] -= 1e-9;}), "");
    EXPECT_NE(fault([](Trajectory & t) {t.points[1].positions[0] = std::nan("");}), "");
  }
}

TEST(TrajectoryRules, PlaybackInterpolatesFromTheStartAndHoldsUnnamedJoints)
{
  Trajectory trajectory;
  trajectory.joint_names = {"joint3", "joint1"};
  trajectory.points.resize(2);
  trajectory.points[0].positions = {1.0, -1.0};
  trajectory.points[0].time_from_start.sec = 1;
  trajectory.points[1].positions = {2.0, 1.0};
  trajectory.points[1].time_from_start.sec = 3;
  const arm_sim::TrajectoryPlayback playback(trajectory, kArm5, {0.5, 0.5, 0.5, 0.5, 0.5});
  EXPECT_DOUBLE_EQ(playback.duration(), 3.0);
  EXPECT_EQ(playback.positionsAt(-1.0), std::vector<double>({0.5, 0.5, 0.5, 0.5, 0.5}));
  EXPECT_EQ(playback.positionsAt(0.5), std::vector<double>({-0.25, 0.5, 0.75, 0.5, 0.5}));
  EXPECT_EQ(playback.positionsAt(2.0), std::vector<double>({0.0, 0.5, 1.5, 0.5, 0.5}));
  EXPECT_EQ(playback.positionsAt(9.0), std::vector<double>({1.0, 0.5, 2.0, 0.5, 0.5}));
}

class ControllerTest : public RosTest, public ::testing::WithParamInterface<JointSet> {};

// Controller and client on one node spun on its own thread; playback at half the speed, so that a
// controller that ignored the factor, or applied it the wrong way, ends too early.
TEST_P(ControllerTest, RefusesAndPlaysAtTheSpeedFactorNamingTheJoints)
{
  const JointSet & joints = GetParam();
  auto node = std::make_shared<rclcpp::Node>("controller");
  arm_sim::TopicRecorder<sensor_msgs::msg::JointState> states(node, "/joint_states", rclcpp::QoS(10));
  auto client = rclcpp_action::create_client<FollowJointTrajectory>(node, "/arm/follow");
  arm_sim::ArmController controller(node,
    arm_sim::ArmControllerConfig{"/arm/follow", "/joint_states", joints, {}, 0.5, 10ms, {}});
  // What the client saw of the last goal; `done` is set last.
  std::atomic<bool> done{false};
  Code code = Code::UNKNOWN;
  Clock::time_point done_at;
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  SpinThread spin(executor);
  ASSERT_TRUE(client->wait_for_action_server(kHangTimeout));
  // True when the goal is accepted.
  const auto send = [&](const Trajectory & trajectory) {
      FollowJointTrajectory::Goal goal;
      goal.trajectory = trajectory;
      rclcpp_action::Client<FollowJointTrajectory>::SendGoalOptions options;
      options.result_callback = [&](const auto & result) {
          code = result.code;
          done_at = Clock::now();
          done = true;
        };
      auto handle = client->async_send_goal(goal, options);
      return handle.wait_for(kHangTimeout) == std::future_status::ready && handle.get();
    };

  Trajectory beyond = sweep(joints, {0.0, 0.1, 0.2}, {0.5, 0.7, 0.9});
  beyond.points.back().positions[1] = joints.limits[1].upper + 0.01;
  EXPECT_FALSE(send(beyond));
  EXPECT_NE(controller.lastRejection().find("joint2"), std::string::npos);
  EXPECT_EQ(states.count(), 0u) << "a refused goal does not move the arm";

  const Trajectory trajectory = sweep(joints, {0.0, 0.2, 0.4}, {0.5, 0.7, 0.9});
  const auto sent_at = Clock::now();
  ASSERT_TRUE(send(trajectory));
  ASSERT_TRUE(wait_until([&done] {return done.load();}));
  EXPECT_EQ(code, Code::SUCCEEDED);
  EXPECT_GE(done_at - sent_at, 790ms);  // 0.4 s of trajectory at half the speed
  // The last state, at the goal, may come after the result.
  const auto & goal = trajectory.points.back().positions;
  ASSERT_TRUE(wait_until([&] {return states.count() > 0 && states.messages().back()->position == goal;}));
  const auto messages = states.messages();
  ASSERT_GE(messages.size(), 5u);
  for (size_t i = 0; i < messages.size(); ++i) {
    ASSERT_EQ(messages[i]->name, joints.names);
    ASSERT_EQ(messages[i]->position.size(), joints.names.size());
    EXPECT_GE(messages[i]->position[0], messages[i == 0 ? 0 : i - 1]->position[0]);  // only rises
  }
}

INSTANTIATE_TEST_SUITE_P(Arms, ControllerTest, ::testing::Values(kArm6, kArm5),
  [](const auto & info) {return "arm" + std::to_string(info.param.names.size());});

}  // namespace
