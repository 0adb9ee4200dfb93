// A trajectory goal sent to the simulated arm controller and its result awaited: every ending the controller
// can give, a missing controller, a goal that never ends, a late result of an earlier goal, and an interrupt.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <thread>

#include "action_msgs/msg/goal_status_array.hpp"
#include "arm_sim/command_client.hpp"
#include "motion_rig.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using arm_sim::GoalOutcome;
using CancelGoal = control_msgs::action::FollowJointTrajectory::Impl::CancelGoalService;

// From `start`, every joint 0.2 rad on over `seconds` (played twenty times faster).
MotionTestAccess::Goal shortMove(RosTwoWrapper& node, const std::vector<double>& start, double seconds) {
  std::vector<TrajectoryPoint> samples;
  for (int i = 0; i <= 2; ++i) {
    std::vector<double> q = start;
    for (double& value : q) value += 0.1 * i;
    samples.push_back({q, std::vector<double>(q.size(), 0.0), std::vector<double>(q.size(), 0.0), seconds * i / 2});
  }
  return MotionTestAccess::generate(node, samples);
}

// Until `done` or five seconds have passed.
template <typename Done>
bool waitFor(Done done) {
  for (const auto end = Clock::now() + 5s; Clock::now() < end; std::this_thread::sleep_for(5ms)) {
    if (done()) return true;
  }
  return false;
}

TEST(MotionWait, EveryEndingOfTheControllerGivesItsCode) {
  // Simulation and the real robot give the same codes: an aborted or cancelled trajectory fails in both.
  for (const auto& [arm, real_robot] : {std::pair{Arm::Five, false}, std::pair{Arm::Six, true}}) {
    MotionRig rig(arm, real_robot);
    const auto goal = shortMove(rig.node(), rig.start(), 0.4);
    EXPECT_EQ(MotionTestAccess::sendGoalAndWait(rig.node(), goal), 0);
    EXPECT_NEAR(rig.controller().positions().back(), rig.start().back() + 0.2, 1e-9);
    rig.controller().setScript({GoalOutcome::Abort, 0ms});
    EXPECT_EQ(MotionTestAccess::sendGoalAndWait(rig.node(), goal), -2);
    rig.controller().setScript({GoalOutcome::Reject, 0ms});
    EXPECT_EQ(MotionTestAccess::sendGoalAndWait(rig.node(), goal), -10);

    // Someone else cancels every goal of the controller.
    rig.controller().setScript({GoalOutcome::NeverFinish, 0ms});
    const size_t accepted = rig.controller().acceptedGoals().size();
    auto cancel = rig.peer()->create_client<CancelGoal>(std::string(kActionName) + "/_action/cancel_goal");
    std::thread canceller([&] {
      ASSERT_TRUE(waitFor([&] { return rig.controller().acceptedGoals().size() > accepted; }));
      cancel->async_send_request(std::make_shared<CancelGoal::Request>());
    });
    EXPECT_EQ(MotionTestAccess::sendGoalAndWait(rig.node(), goal), -3);
    canceller.join();
  }
}

TEST(MotionWait, MissingControllerInSimulationFailsAfterFiveSeconds) {
  InProcessNode in_process(motionConfig(Arm::Five, false));
  const auto sent = Clock::now();
  EXPECT_EQ(MotionTestAccess::sendGoalAndWait(in_process.node(), shortMove(in_process.node(), {0, 0, 0, 0, 0}, 1)),
            -3);
  EXPECT_GE(Clock::now() - sent, 5s);
  EXPECT_LT(Clock::now() - sent, 7s);
}

TEST(MotionWait, GoalThatNeverEndsIsCancelledAfterItsTimeAndItsLateResultIgnored) {
  MotionRig rig(Arm::Six, false);
  // Polls of 10 ms: the minimum of 201 polls is shorter than the trajectory's time plus 5 s.
  MotionTestAccess::setResultWaitCycle(rig.node(), 10ms);
  arm_sim::TopicRecorder<action_msgs::msg::GoalStatusArray> statuses(
      rig.peer(), std::string(kActionName) + "/_action/status", rclcpp::QoS(100).transient_local());
  rig.controller().setScript({GoalOutcome::NeverFinish, 0ms});
  const auto goal = shortMove(rig.node(), rig.start(), 0.6);
  const auto sent = Clock::now();
  EXPECT_EQ(MotionTestAccess::sendGoalAndWait(rig.node(), goal), -10);
  EXPECT_GE(Clock::now() - sent, 5600ms);
  EXPECT_LT(Clock::now() - sent, 7s);
  EXPECT_TRUE(waitFor([&] {
    for (const auto& message : statuses.messages()) {
      for (const auto& status : message->status_list) {
        if (status.status == action_msgs::msg::GoalStatus::STATUS_CANCELED) return true;
      }
    }
    return false;
  }));

  // Once more, and the next goal goes out at once: the given-up goal's result (cancelled, or aborted when the
  // next one preempts it) comes while the next is awaited.
  EXPECT_EQ(MotionTestAccess::sendGoalAndWait(rig.node(), goal), -10);
  rig.controller().setScript({GoalOutcome::Natural, 0ms});
  EXPECT_EQ(MotionTestAccess::sendGoalAndWait(rig.node(), goal), 0);
}

TEST(MotionWait, InterruptDuringTheWaitEndsTheRunCleanly) {
  MotionRig rig(Arm::Five, false, false);
  rig.controller().setScript({GoalOutcome::NeverFinish, 0ms});
  arm_sim::CommandClient client(rig.peer());
  auto run = std::async(std::launch::async, [&] { RosTwoWrapperTestAccess::run(rig.node()); });
  std::vector<double> goal = rig.start();
  goal[0] += 0.3;
  EXPECT_TRUE(waitFor([&] {
    client.moveToGoal(goal);
    std::this_thread::sleep_for(50ms);
    return !rig.controller().acceptedGoals().empty();
  }));
  std::raise(SIGINT);
  EXPECT_EQ(run.wait_for(2s), std::future_status::ready);
}

}  // namespace
