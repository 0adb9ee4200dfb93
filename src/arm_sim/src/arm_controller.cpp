#include "arm_sim/arm_controller.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace arm_sim
{
namespace
{

std::vector<double> checkedStart(const ArmControllerConfig & config)
{
  const JointSet & joints = config.joints;
  if (joints.names.empty() || joints.names.size() != joints.limits.size()) {
    throw std::invalid_argument("arm controller: need one limit pair per joint name, at least one");
  }
  if (!(config.speed_factor > 0.0) || config.state_period.count() <= 0) {
    throw std::invalid_argument("arm controller: speed factor and state period must be positive");
  }
  std::vector<double> start = config.start_positions;
  if (start.empty()) {
    for (const auto & limits : joints.limits) {
      start.push_back(std::clamp(0.0, limits.lower, limits.upper));
    }
  }
  if (start.size() != joints.names.size()) {
    throw std::invalid_argument("arm controller: need one start position per joint");
  }
  for (size_t j = 0; j < start.size(); ++j) {
    if (!(joints.limits[j].lower <= start[j] && start[j] <= joints.limits[j].upper)) {
      throw std::invalid_argument("arm controller: start of \"" + joints.names[j] +
              "\" beyond its limits");
    }
  }
  return start;
}

}  // namespace

ArmController::ArmController(const rclcpp::Node::SharedPtr & node, ArmControllerConfig config)
: config_(std::move(config)),
  state_publisher_(node->create_publisher<sensor_msgs::msg::JointState>(
      config_.joint_states_topic, rclcpp::QoS(10))),
  positions_(checkedStart(config_)),
  script_(config_.script)
{
  server_ = rclcpp_action::create_server<FollowJointTrajectory>(node, config_.action_name,
      [this](const rclcpp_action::GoalUUID &,
      std::shared_ptr<const FollowJointTrajectory::Goal> goal) {return onGoal(*goal);},
      [](std::shared_ptr<GoalHandle>) {return rclcpp_action::CancelResponse::ACCEPT;},
      [this](std::shared_ptr<GoalHandle> handle) {onAccepted(std::move(handle));});
}

ArmController::~ArmController()
{
  std::lock_guard<std::mutex> worker_lock(worker_mutex_);
  stopPlayback();
}

void ArmController::setScript(const ControllerScript & script)
{
  std::lock_guard<std::mutex> lock(mutex_);
  script_ = script;
}

std::vector<double> ArmController::positions() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return positions_;
}

std::vector<trajectory_msgs::msg::JointTrajectory> ArmController::acceptedGoals() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return accepted_goals_;
}

std::vector<std::chrono::steady_clock::time_point> ArmController::acceptanceTimes() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return acceptance_times_;
}

std::string ArmController::lastRejection() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return last_rejection_;
}

void ArmController::publishJointState()
{
  auto message = std::make_unique<sensor_msgs::msg::JointState>();
  message->header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  message->name = config_.joints.names;
  message->position = positions();
  state_publisher_->publish(std::move(message));
}

rclcpp_action::GoalResponse ArmController::onGoal(const FollowJointTrajectory::Goal & goal)
{
  std::lock_guard<std::mutex> lock(mutex_);
  last_rejection_ = script_.outcome == GoalOutcome::Reject ? "scripted rejection" :
    findTrajectoryFault(goal.trajectory, config_.joints);
  if (!last_rejection_.empty()) {
    return rclcpp_action::GoalResponse::REJECT;
  }
  accepted_goals_.push_back(goal.trajectory);
  acceptance_times_.push_back(std::chrono::steady_clock::now());
  return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
}

void ArmController::onAccepted(std::shared_ptr<GoalHandle> handle)
{
  // A new goal preempts the one playing, as on a real controller; the arm starts from where
  // the preempted goal left it.
  std::lock_guard<std::mutex> worker_lock(worker_mutex_);
  stopPlayback();
  ControllerScript script;
  std::vector<double> start;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    script = script_;
    start = positions_;
    stop_requested_ = false;
  }
  TrajectoryPlayback playback(handle->get_goal()->trajectory, config_.joints, start);
  worker_ = std::thread([this, handle = std::move(handle), playback = std::move(playback),
        script]() mutable {play(std::move(handle), playback, script);});
}

void ArmController::stopPlayback()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_requested_ = true;
  }
  stop_changed_.notify_all();
  if (worker_.joinable()) {
    worker_.join();
  }
}

void ArmController::moveTo(const std::vector<double> & positions)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    positions_ = positions;
  }
  publishJointState();
}

bool ArmController::waitPeriod()
{
  std::unique_lock<std::mutex> lock(mutex_);
  return !stop_changed_.wait_for(lock, config_.state_period, [this] {return stop_requested_;});
}

void ArmController::play(
  std::shared_ptr<GoalHandle> handle, const TrajectoryPlayback & playback, ControllerScript script)
{
  using Result = FollowJointTrajectory::Result;
  auto result = std::make_shared<Result>();
  const auto start = std::chrono::steady_clock::now();
  const double duration = playback.duration();
  const double abort_at = duration / 2.0;
  do {
    const auto now = std::chrono::steady_clock::now();
    const double time = std::chrono::duration<double>(now - start).count() * config_.speed_factor;
    if (handle->is_canceling()) {
      moveTo(playback.positionsAt(time));
      handle->canceled(result);
      return;
    }
    if (script.outcome == GoalOutcome::Abort && time >= abort_at) {
      moveTo(playback.positionsAt(abort_at));
      result->error_code = Result::PATH_TOLERANCE_VIOLATED;
      result->error_string = "scripted abort half-way through the trajectory";
      handle->abort(result);
      return;
    }
    moveTo(playback.positionsAt(time));
    const bool ended = time >= duration;
    if (script.outcome == GoalOutcome::Natural && ended) {
      result->error_code = Result::SUCCESSFUL;
      handle->succeed(result);
      return;
    }
  } while (waitPeriod());
  // Preempted by a newer goal, or the controller goes away.
  result->error_code = Result::INVALID_GOAL;
  result->error_string = "preempted";
  handle->abort(result);
}

}  // namespace arm_sim
