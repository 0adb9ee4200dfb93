// The simulated arm controller: the goals it refuses, the playback of accepted goals at a
// speed factor with joint states named while it moves, each scripted ending, and cancel. Run on
// a six- and a five-joint arm, each node spun on its own thread.
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
using arm_sim::ArmController;
using arm_sim::GoalOutcome;
using arm_sim::JointSet;
using FollowJointTrajectory = control_msgs::action::FollowJointTrajectory;
using Trajectory = trajectory_msgs::msg::JointTrajectory;
using Clock = std::chrono::steady_clock;

// Joint names and limits of the arms in the robot descriptions.
const JointSet kArm6{{"joint1", "joint2", "joint3", "joint4", "joint5", "joint6"},
  {{-3.05, 3.05}, {-2.1, 2.1}, {-2.6, 2.6}, {-3.05, 3.05}, {-2.2, 2.2}, {-6.28, 6.28}}};
const JointSet kArm5{{"joint1", "joint2", "joint3", "joint4", "joint5"},
  {{-3.05, 3.05}, {-2.0, 2.0}, {-2.5, 2.5}, {-2.5, 2.5}, {-3.05, 3.05}}};

// Samples at the given times, joint j of sample i at value(i, j).
template<typename ValueT>
Trajectory makeTrajectory(const JointSet & joints, const std::vector<double> & times, ValueT value)
{
  Trajectory trajectory;
  trajectory.joint_names = joints.names;
  for (size_t i = 0; i < times.size(); ++i) {
    trajectory_msgs::msg::JointTrajectoryPoint point;
    for (size_t j = 0; j < joints.names.size(); ++j) {
      point.positions.push_back(value(i, j));
    }
    point.time_from_start.sec = static_cast<int32_t>(times[i]);
    point.time_from_start.nanosec = static_cast<uint32_t>((times[i] - point.time_from_start.sec) * 1e9);
    trajectory.points.push_back(point);
  }
  return trajectory;
}

// Every joint from 0 to 90 % of its upper limit over `duration` seconds.
Trajectory rampTrajectory(const JointSet & joints, double duration)
{
  return makeTrajectory(joints, {0.0, duration / 2, duration}, [&](size_t i, size_t j) {
             return 0.45 * i * joints.limits[j].upper;});
}

TEST(TrajectoryRules, RefuseWhatARealControllerRefuses)
{
  for (const JointSet & joints : {kArm6, kArm5}) {
    const size_t n = joints.names.size();
    const auto at_limits = makeTrajectory(joints, {0.0, 0.1}, [&](size_t i, size_t j) {
          return i == 0 ? joints.limits[j].lower : joints.limits[j].upper;});
    EXPECT_EQ(arm_sim::findTrajectoryFault(at_limits, joints), "");

    auto faulty = [&](auto change) {
        Trajectory trajectory = at_limits;
        change(trajectory);
        return arm_sim::findTrajectoryFault(trajectory, joints);
      };
    EXPECT_NE(faulty([](Trajectory & t) {t.joint_names[0] = "joint7";}), "");
    EXPECT_NE(faulty([](Trajectory & t) {t.joint_names[1] = t.joint_names[0];}), "");
    EXPECT_NE(faulty([](Trajectory & t) {t.points.clear();}), "");
    EXPECT_NE(faulty([](Trajectory & t) {t.points[1].positions.pop_back();}), "");
    EXPECT_NE(faulty([](Trajectory & t) {t.points[1].time_from_start = t.points[0].time_from_start;}), "");
    EXPECT_NE(faulty([](Trajectory & t) {t.points[0].time_from_start.sec = 1;}), "");
    EXPECT_NE(faulty([](Trajectory & t) {t.points[0].time_from_start.sec = -1;}), "");
    EXPECT_NE(faulty([&](Trajectory & t) {t.points[1].positions[n - 1] += 1e-9;}), "");
    EXPECT_NE(faulty([&](Trajectory & t) {t.points[0].positions[n - 1] -= 1e-9;}), "");
    EXPECT_NE(faulty([](Trajectory & t) {t.points[1].positions[0] = std::nan("");}), "");
    // A subset of the joints, in another order, is fine: the others hold.
    EXPECT_EQ(faulty([](Trajectory & t) {
        t.joint_names = {t.joint_names[1], t.joint_names[0]};
        for (auto & point : t.points) {point.positions = {0.5, -0.5};}
      }), "");
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

// What the client side saw of one goal.
struct Seen
{
  std::atomic<bool> done{false};
  std::atomic<int> code{0};
  Clock::time_point done_at;
};

class ControllerTest : public RosTest, public ::testing::WithParamInterface<JointSet>
{
protected:
  void SetUp() override
  {
    RosTest::SetUp();
    server_node_ = std::make_shared<rclcpp::Node>("arm_controller");
    client_node_ = std::make_shared<rclcpp::Node>("client");
    client_ = rclcpp_action::create_client<FollowJointTrajectory>(client_node_, "/arm/follow");
    states_ = std::make_unique<arm_sim::TopicRecorder<sensor_msgs::msg::JointState>>(
      client_node_, "/joint_states", rclcpp::QoS(10));
    server_executor_.add_node(server_node_);
    client_executor_.add_node(client_node_);
  }

  void TearDown() override
  {
    server_spin_.reset();
    client_spin_.reset();
    controller_.reset();
    RosTest::TearDown();
  }

  void start(GoalOutcome outcome, double speed_factor = 1.0, std::chrono::milliseconds late_by = 0ms)
  {
    arm_sim::ArmControllerConfig config{"/arm/follow", "/joint_states", GetParam(), {},
      speed_factor, 10ms, {outcome, late_by}};
    controller_ = std::make_unique<ArmController>(server_node_, config);
    server_spin_ = std::make_unique<SpinThread>(server_executor_);
    client_spin_ = std::make_unique<SpinThread>(client_executor_);
    ASSERT_TRUE(client_->wait_for_action_server(2s));
  }

  std::shared_ptr<rclcpp_action::ClientGoalHandle<FollowJointTrajectory>> send(
    const Trajectory & trajectory, Seen & seen)
  {
    FollowJointTrajectory::Goal goal;
    goal.trajectory = trajectory;
    rclcpp_action::Client<FollowJointTrajectory>::SendGoalOptions options;
    options.result_callback = [&seen](const auto & result) {
        seen.code = static_cast<int>(result.code);
        seen.done_at = Clock::now();
        seen.done = true;
      };
    auto handle = client_->async_send_goal(goal, options);
    return handle.wait_for(2s) == std::future_status::ready ? handle.get() : nullptr;
  }

  static bool waitFor(const std::atomic<bool> & flag, std::chrono::milliseconds timeout)
  {
    const auto deadline = Clock::now() + timeout;
    while (!flag && Clock::now() < deadline) {
      std::this_thread::sleep_for(1ms);
    }
    return flag;
  }

  rclcpp::Node::SharedPtr server_node_;
  rclcpp::Node::SharedPtr client_node_;
  rclcpp_action::Client<FollowJointTrajectory>::SharedPtr client_;
  std::unique_ptr<arm_sim::TopicRecorder<sensor_msgs::msg::JointState>> states_;
  std::unique_ptr<ArmController> controller_;
  rclcpp::executors::SingleThreadedExecutor server_executor_;
  rclcpp::executors::SingleThreadedExecutor client_executor_;
  std::unique_ptr<SpinThread> server_spin_;
  std::unique_ptr<SpinThread> client_spin_;
};

using Code = rclcpp_action::ResultCode;

TEST_P(ControllerTest, PlaysAGoalBackAtTheSpeedFactorPublishingNamedJointStates)
{
  const JointSet & joints = GetParam();
  start(GoalOutcome::Natural, 2.0);
  const Trajectory trajectory = rampTrajectory(joints, 0.4);
  Seen seen;
  const auto sent_at = Clock::now();
  ASSERT_TRUE(send(trajectory, seen));
  ASSERT_TRUE(waitFor(seen.done, 2s));
  EXPECT_EQ(seen.code, static_cast<int>(Code::SUCCEEDED));
  const double took = std::chrono::duration<double>(seen.done_at - sent_at).count();
  EXPECT_GE(took, 0.2 - 0.01);  // 0.4 s of trajectory at twice the speed
  EXPECT_LT(took, 0.35);

  const auto states = states_->messages();
  ASSERT_GE(states.size(), 5u);
  double previous = -1.0;
  for (const auto & state : states) {
    ASSERT_EQ(state->name, joints.names);
    ASSERT_EQ(state->position.size(), joints.names.size());
    EXPECT_GE(state->position[0], previous);  // the ramp only rises
    previous = state->position[0];
  }
  EXPECT_EQ(states.back()->position, trajectory.points.back().positions);
  EXPECT_EQ(controller_->positions(), trajectory.points.back().positions);
  ASSERT_EQ(controller_->acceptedGoals().size(), 1u);
  EXPECT_EQ(controller_->acceptedGoals()[0], trajectory);
}

TEST_P(ControllerTest, RefusesFaultyGoalsAndScriptedRejectionsWithoutMoving)
{
  const JointSet & joints = GetParam();
  start(GoalOutcome::Natural);
  Trajectory beyond = rampTrajectory(joints, 0.2);
  beyond.points.back().positions[1] = joints.limits[1].upper + 0.01;
  Seen seen;
  EXPECT_FALSE(send(beyond, seen));
  EXPECT_NE(controller_->lastRejection().find("joint2"), std::string::npos);

  controller_->setScript({GoalOutcome::Reject, 0ms});
  Seen scripted;
  EXPECT_FALSE(send(rampTrajectory(joints, 0.2), scripted));
  EXPECT_EQ(controller_->lastRejection(), "scripted rejection");
  EXPECT_TRUE(controller_->acceptedGoals().empty());
  EXPECT_EQ(states_->count(), 0u);
}

TEST_P(ControllerTest, AbortsHalfWayWhenToldTo)
{
  const JointSet & joints = GetParam();
  start(GoalOutcome::Abort);
  const Trajectory trajectory = rampTrajectory(joints, 0.3);
  Seen seen;
  ASSERT_TRUE(send(trajectory, seen));
  ASSERT_TRUE(waitFor(seen.done, 2s));
  EXPECT_EQ(seen.code, static_cast<int>(Code::ABORTED));
  const auto stopped = controller_->positions();
  for (size_t j = 0; j < stopped.size(); ++j) {  // at the sample at 0.15 s
    EXPECT_NEAR(stopped[j], trajectory.points[1].positions[j], 1e-6);
  }
}

TEST_P(ControllerTest, FinishesLateWhenToldTo)
{
  start(GoalOutcome::FinishLate, 1.0, 300ms);
  Seen seen;
  const auto sent_at = Clock::now();
  ASSERT_TRUE(send(rampTrajectory(GetParam(), 0.1), seen));
  ASSERT_TRUE(waitFor(seen.done, 2s));
  EXPECT_EQ(seen.code, static_cast<int>(Code::SUCCEEDED));
  EXPECT_GE(seen.done_at - sent_at, 400ms - 10ms);
}

TEST_P(ControllerTest, CancelStopsThePlaybackAndAGoalThatNeverFinishes)
{
  const JointSet & joints = GetParam();
  for (const GoalOutcome outcome : {GoalOutcome::Natural, GoalOutcome::NeverFinish}) {
    SCOPED_TRACE(static_cast<int>(outcome));
    if (!controller_) {
      start(outcome);
    }
    controller_->setScript({outcome, 0ms});
    const bool never = outcome == GoalOutcome::NeverFinish;
    const Trajectory trajectory = rampTrajectory(joints, never ? 0.1 : 2.0);
    Seen seen;
    auto handle = send(trajectory, seen);
    ASSERT_TRUE(handle);
    // A goal that never finishes is still open well after its end.
    EXPECT_FALSE(waitFor(seen.done, never ? 400ms : 200ms));
    client_->async_cancel_goal(handle);
    ASSERT_TRUE(waitFor(seen.done, 2s));
    EXPECT_EQ(seen.code, static_cast<int>(Code::CANCELED));
    const double first = controller_->positions()[0];
    const double last = trajectory.points.back().positions[0];
    if (never) {
      EXPECT_EQ(first, last);
    } else {
      EXPECT_GT(first, trajectory.points[0].positions[0]);
      EXPECT_LT(first, trajectory.points[1].positions[0]);  // stopped within the first second
    }
  }
}

TEST_P(ControllerTest, ANewGoalPreemptsThePlayingOneAndStartsWhereItStopped)
{
  const JointSet & joints = GetParam();
  start(GoalOutcome::Natural);
  Seen first;
  Seen second;
  ASSERT_TRUE(send(rampTrajectory(joints, 2.0), first));
  std::this_thread::sleep_for(100ms);
  const Trajectory back = makeTrajectory(joints, {0.1}, [](size_t, size_t) {return 0.0;});
  ASSERT_TRUE(send(back, second));
  ASSERT_TRUE(waitFor(first.done, 2s));
  EXPECT_EQ(first.code, static_cast<int>(Code::ABORTED));
  ASSERT_TRUE(waitFor(second.done, 2s));
  EXPECT_EQ(second.code, static_cast<int>(Code::SUCCEEDED));
  EXPECT_EQ(controller_->positions(), back.points[0].positions);
}

INSTANTIATE_TEST_SUITE_P(Arms, ControllerTest, ::testing::Values(kArm6, kArm5),
  [](const auto & info) {return "arm" + std::to_string(info.param.names.size());});

TEST(ControllerConfig, InconsistentSettingsAreRefused)
{
  rclcpp::init(0, nullptr);
  auto node = std::make_shared<rclcpp::Node>("arm_controller");
  auto config = [](auto change) {
      arm_sim::ArmControllerConfig settings{"/arm/follow", "/joint_states", kArm5, {}, 1.0, 10ms, {}};
      change(settings);
      return settings;
    };
  using Config = arm_sim::ArmControllerConfig;
  for (const auto & bad : {
      config([](Config & c) {c.joints.limits.pop_back();}),
      config([](Config & c) {c.joints = JointSet{};}),
      config([](Config & c) {c.speed_factor = 0.0;}),
      config([](Config & c) {c.start_positions = {0.0};}),
      config([](Config & c) {c.start_positions = {0.0, 0.0, 0.0, 0.0, 3.1};})})
  {
    EXPECT_THROW(ArmController(node, bad), std::invalid_argument);
  }
  rclcpp::shutdown();
}

}  // namespace
