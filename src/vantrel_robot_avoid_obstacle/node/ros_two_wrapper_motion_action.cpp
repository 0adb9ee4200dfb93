// The trajectory goal: built from the planner's samples, sent to the arm controller, and its result awaited.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <thread>

#include "node/command_codes.h"
#include "node/ros_two_wrapper.h"

namespace {

// The shortest wait for a result, in polls, and what a trajectory's own duration adds to it.
constexpr int64_t kMinimumWaitCycles = 201;
constexpr double kWaitBeyondTrajectorySeconds = 5.0;

double trajectoryDuration(const control_msgs::action::FollowJointTrajectory::Goal& goal) {
  if (goal.trajectory.points.empty()) return 0.0;
  const auto& end = goal.trajectory.points.back().time_from_start;
  return end.sec + end.nanosec * 1e-9;
}

int64_t waitCycles(double trajectory_seconds, std::chrono::microseconds cycle) {
  const double cycle_seconds = std::chrono::duration<double>(cycle).count();
  const double needed = std::ceil((trajectory_seconds + kWaitBeyondTrajectorySeconds) / cycle_seconds);
  return std::max(kMinimumWaitCycles, static_cast<int64_t>(needed));
}

// Asks the controller to stop the goal. A goal that has just ended is no longer known to the client: nothing to
// stop then.
void cancelGoal(rclcpp_action::Client<control_msgs::action::FollowJointTrajectory>& client,
                const rclcpp_action::ClientGoalHandle<control_msgs::action::FollowJointTrajectory>::SharedPtr& handle) {
  try {
    client.async_cancel_goal(handle);
  } catch (const rclcpp_action::exceptions::UnknownGoalHandleError&) {
  }
}

}  // namespace

using namespace command_code;

control_msgs::action::FollowJointTrajectory::Goal RosTwoWrapper::generateFollowJointTrajectoryMsg(
    const std::vector<TrajectoryPoint>& trajectory_data) {
  FollowJointTrajectory::Goal goal;
  goal.trajectory.joint_names.assign(joint_names_.begin(), joint_names_.begin() + n_dof_);
  if (trajectory_data.size() < 2) {
    std::cout << "The points size in path <2 error!" << std::endl;
    return goal;
  }
  goal.trajectory.points.resize(trajectory_data.size());
  puts("**************************generateFollowJointTrajectoryMsg**************************");
  // Times are truncated to whole nanoseconds; the time parametrisation keeps samples more than a nanosecond
  // apart, so they still increase, as the controller requires.
  for (size_t i = 0; i < trajectory_data.size(); ++i) {
    const TrajectoryPoint& sample = trajectory_data[i];
    auto& point = goal.trajectory.points[i];
    point.positions.assign(sample.positions.begin(), sample.positions.begin() + n_dof_);
    point.velocities.assign(sample.velocities.begin(), sample.velocities.begin() + n_dof_);
    point.accelerations.assign(sample.accelerations.begin(), sample.accelerations.begin() + n_dof_);
    for (int j = 0; j < n_dof_; ++j) printf("%lf,", point.positions[j]);
    const double t = sample.time_from_start;
    printf("trajectory_data[i].time_from_start:%lf\n", t);
    point.time_from_start.sec = static_cast<int32_t>(t);
    point.time_from_start.nanosec = static_cast<uint32_t>((t - point.time_from_start.sec) * 1e9);
    printf("time=%lf\n", point.time_from_start.nanosec * 1e-9 + point.time_from_start.sec);
  }
  return goal;
}

int32_t RosTwoWrapper::sendGoalAndWait(const FollowJointTrajectory::Goal& goal, const char* rejected_text,
                                       bool print_waiting) {
  // A trajectory of fewer than two samples is no motion the controller could play: it is never sent.
  if (goal.trajectory.points.size() < 2) {
    puts(rejected_text);
    return kGoalNotPlayed;
  }
  result_received_flag_ = false;
  const bool server_found = real_robot_flag_
                                ? follow_joint_trajectory_client_->wait_for_action_server()
                                : follow_joint_trajectory_client_->wait_for_action_server(std::chrono::seconds(5));
  if (!server_found) {
    puts("Action server not available after 5s waiting");
    goal_result_code_ = kGoalResultUnknown;
    result_received_flag_ = true;
    return kNoActionServer;
  }

  const uint64_t goal_number = ++sent_goal_count_;
  {
    std::lock_guard<std::mutex> lock(goal_handle_mutex_);
    awaited_goal_number_ = goal_number;
    awaited_goal_handle_.reset();
  }
  goal_response_status_ = 0;
  goal_result_code_ = kGoalResultUnknown;
  rclcpp_action::Client<FollowJointTrajectory>::SendGoalOptions options;
  options.goal_response_callback = [this, goal_number](const GoalHandle::SharedPtr& handle) {
    goalResponseCallback(handle, goal_number);
  };
  options.feedback_callback = [this](GoalHandle::SharedPtr handle,
                                     std::shared_ptr<const FollowJointTrajectory::Feedback> feedback) {
    feedbackCallback(std::move(handle), std::move(feedback));
  };
  options.result_callback = [this, goal_number](const GoalHandle::WrappedResult& result) {
    resultCallback(result, goal_number);
  };
  follow_joint_trajectory_client_->async_send_goal(goal, options);
  puts("send goal");

  // Whatever ends the wait, the goal is no longer awaited; one still running after a time-out is cancelled.
  auto stopAwaiting = [this](bool cancel) {
    GoalHandle::SharedPtr handle;
    {
      std::lock_guard<std::mutex> lock(goal_handle_mutex_);
      awaited_goal_number_ = 0;
      handle.swap(awaited_goal_handle_);
    }
    if (cancel && handle) cancelGoal(*follow_joint_trajectory_client_, handle);
  };
  for (int64_t cycles = waitCycles(trajectoryDuration(goal), result_wait_cycle_);;) {
    if (result_received_flag_) {
      stopAwaiting(false);
      // An aborted or cancelled trajectory is a failure in simulation too.
      return goal_result_code_;
    }
    if (real_robot_flag_ && print_waiting) puts("waiting robot arrive the goal");
    std::this_thread::sleep_for(result_wait_cycle_);
    if (!rclcpp::ok()) {
      puts("shutting down: the wait for the trajectory result ends");
      stopAwaiting(false);
      return kGoalNotPlayed;
    }
    if (--cycles == 0) {
      puts("robot move time out!");
      stopAwaiting(true);
      return kGoalNotPlayed;
    }
    if (goal_response_status_ == -1) {
      puts(rejected_text);
      stopAwaiting(false);
      return kGoalNotPlayed;
    }
  }
}

void RosTwoWrapper::goalResponseCallback(const GoalHandle::SharedPtr& goal_handle, uint64_t goal_number) {
  {
    std::lock_guard<std::mutex> lock(goal_handle_mutex_);
    if (goal_number != awaited_goal_number_) {
      // Its command gave up on it: it must not move the arm any more.
      if (goal_handle) cancelGoal(*follow_joint_trajectory_client_, goal_handle);
      return;
    }
    awaited_goal_handle_ = goal_handle;
  }
  if (!goal_handle) {
    puts("Goal was rejected by server");
    goal_response_status_ = -1;
  } else {
    goal_response_status_ = 1;
    puts("Goal accepted by server, waiting for result");
  }
}

void RosTwoWrapper::feedbackCallback(GoalHandle::SharedPtr, std::shared_ptr<const FollowJointTrajectory::Feedback>) {}

void RosTwoWrapper::resultCallback(const GoalHandle::WrappedResult& result, uint64_t goal_number) {
  std::lock_guard<std::mutex> lock(goal_handle_mutex_);
  if (goal_number != awaited_goal_number_) return;
  switch (result.code) {
    case rclcpp_action::ResultCode::SUCCEEDED:
      goal_result_code_ = kSuccess;
      std::cout << "\033[42m arrive the goal point\033[0m" << std::endl;
      break;
    case rclcpp_action::ResultCode::CANCELED:
      goal_result_code_ = kGoalCanceled;
      std::cout << "\033[41m ERROR: Goal was canceled!\033[0m" << std::endl;
      break;
    case rclcpp_action::ResultCode::ABORTED:
      goal_result_code_ = kGoalAborted;
      std::cout << "\033[41m ERROR: robot run trajectory FAILED!,Maybe Collision\033[0m" << std::endl;
      break;
    default:
      goal_result_code_ = kGoalResultUnknown;
      puts("Unknown result code");
  }
  result_received_flag_ = true;
}
