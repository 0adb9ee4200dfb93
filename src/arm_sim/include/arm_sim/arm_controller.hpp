// A simulated arm controller: serves FollowJointTrajectory as a joint-trajectory controller
// does and publishes the joint states of the arm it plays the goals back on.
#ifndef ARM_SIM__ARM_CONTROLLER_HPP_
#define ARM_SIM__ARM_CONTROLLER_HPP_

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "arm_sim/trajectory_playback.hpp"
#include "control_msgs/action/follow_joint_trajectory.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "sensor_msgs/msg/joint_state.hpp"

namespace arm_sim
{

// How the controller ends the goals it is given.
enum class GoalOutcome
{
  Natural,      // succeeds when the playback reaches the last sample
  Reject,       // rejects every goal, also valid ones
  Abort,        // stops half-way through the playback and aborts
  NeverFinish,  // holds the last sample and sends no result until cancelled
};

struct ControllerScript
{
  GoalOutcome outcome = GoalOutcome::Natural;
};

struct ArmControllerConfig
{
  std::string action_name;         // e.g. "/arm6/follow_joint_trajectory"
  std::string joint_states_topic;  // e.g. "/joint_states"
  JointSet joints;
  std::vector<double> start_positions;  // empty: every joint at 0 (or its nearer limit)
  double speed_factor = 1.0;            // playback time per wall time; 2 plays twice as fast
  std::chrono::milliseconds state_period{20};  // joint-state period while a goal plays
  ControllerScript script;
};

class ArmController
{
public:
  using FollowJointTrajectory = control_msgs::action::FollowJointTrajectory;
  using GoalHandle = rclcpp_action::ServerGoalHandle<FollowJointTrajectory>;

  // Throws std::invalid_argument for an inconsistent configuration. The caller spins the node.
  ArmController(const rclcpp::Node::SharedPtr & node, ArmControllerConfig config);
  // A goal still playing is aborted. Stop spinning the node first.
  ~ArmController();
  ArmController(const ArmController &) = delete;
  ArmController & operator=(const ArmController &) = delete;

  // Applies to goals that arrive from now on.
  void setScript(const ControllerScript & script);

  // The joints where they are, in the controller's order.
  std::vector<double> positions() const;
  void publishJointState();

  // Every goal accepted so far, in order of arrival.
  std::vector<trajectory_msgs::msg::JointTrajectory> acceptedGoals() const;
  // When each of them was accepted.
  std::vector<std::chrono::steady_clock::time_point> acceptanceTimes() const;
  // Why the last rejected goal was rejected ("scripted rejection" when told to reject).
  std::string lastRejection() const;

private:
  rclcpp_action::GoalResponse onGoal(const FollowJointTrajectory::Goal & goal);
  void onAccepted(std::shared_ptr<GoalHandle> handle);
  void play(std::shared_ptr<GoalHandle> handle, const TrajectoryPlayback & playback,
    ControllerScript script);
  void moveTo(const std::vector<double> & positions);
  // Sleeps one state period; false when playback must stop (preemption or destruction).
  bool waitPeriod();
  void stopPlayback();

  const ArmControllerConfig config_;
  const std::shared_ptr<rclcpp::Publisher<sensor_msgs::msg::JointState>> state_publisher_;

  mutable std::mutex mutex_;  // the fields below
  std::vector<double> positions_;
  ControllerScript script_;
  std::vector<trajectory_msgs::msg::JointTrajectory> accepted_goals_;
  std::vector<std::chrono::steady_clock::time_point> acceptance_times_;
  std::string last_rejection_;
  bool stop_requested_ = false;
  std::condition_variable stop_changed_;

  std::mutex worker_mutex_;  // start and stop of the playback thread
  std::thread worker_;

  // Last: its callbacks use everything above.
  rclcpp_action::Server<FollowJointTrajectory>::SharedPtr server_;
};

}  // namespace arm_sim

#endif  // ARM_SIM__ARM_CONTROLLER_HPP_
