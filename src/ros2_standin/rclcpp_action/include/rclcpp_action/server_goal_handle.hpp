// The server's handle of one goal: feedback, cancel state and the terminal result.
#ifndef RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_
#define RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_

#include <cstdint>
#include <memory>
#include <utility>

#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

template<typename ActionT>
class Server;

namespace detail
{
template<typename ActionT>
class ServerCore;
}  // namespace detail

template<typename ActionT>
class ServerGoalHandle
{
public:
  using SharedPtr = std::shared_ptr<ServerGoalHandle>;

  // A handle dropped before its goal ended cancels the goal, so no client waits forever.
  ~ServerGoalHandle() {core_->abandon(uuid_);}
  ServerGoalHandle(const ServerGoalHandle &) = delete;
  ServerGoalHandle & operator=(const ServerGoalHandle &) = delete;

  const GoalUUID & get_goal_id() const {return uuid_;}
  const std::shared_ptr<const typename ActionT::Goal> get_goal() const {return goal_;}

  bool is_canceling() const {return core_->status(uuid_) == GoalStatus::STATUS_CANCELING;}
  bool is_executing() const {return core_->status(uuid_) == GoalStatus::STATUS_EXECUTING;}
  bool is_active() const
  {
    const int8_t status = core_->status(uuid_);
    return status == GoalStatus::STATUS_ACCEPTED || status == GoalStatus::STATUS_EXECUTING ||
           status == GoalStatus::STATUS_CANCELING;
  }

  // All of these are thread-safe. A transition the goal cannot make throws std::runtime_error.
  void execute() {core_->execute(uuid_);}
  void publish_feedback(std::shared_ptr<typename ActionT::Feedback> feedback_msg)
  {
    core_->publish_feedback(uuid_, *feedback_msg);
  }
  void succeed(typename ActionT::Result::SharedPtr result_msg)
  {
    core_->finish(uuid_, GoalStatus::STATUS_SUCCEEDED, *result_msg);
  }
  void abort(typename ActionT::Result::SharedPtr result_msg)
  {
    core_->finish(uuid_, GoalStatus::STATUS_ABORTED, *result_msg);
  }
  void canceled(typename ActionT::Result::SharedPtr result_msg)
  {
    core_->finish(uuid_, GoalStatus::STATUS_CANCELED, *result_msg);
  }

private:
  friend class detail::ServerCore<ActionT>;

  ServerGoalHandle(
    std::shared_ptr<detail::ServerCore<ActionT>> core, const GoalUUID & uuid,
    std::shared_ptr<const typename ActionT::Goal> goal)
  : core_(std::move(core)), uuid_(uuid), goal_(std::move(goal)) {}

  const std::shared_ptr<detail::ServerCore<ActionT>> core_;
  const GoalUUID uuid_;
  const std::shared_ptr<const typename ActionT::Goal> goal_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_
