// The client's view of one goal: its id, status, feedback and result.
#ifndef RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_
#define RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

#include "rclcpp/time.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

enum class ResultCode : int8_t
{
  UNKNOWN = action_msgs::msg::GoalStatus::STATUS_UNKNOWN,
  SUCCEEDED = action_msgs::msg::GoalStatus::STATUS_SUCCEEDED,
  CANCELED = action_msgs::msg::GoalStatus::STATUS_CANCELED,
  ABORTED = action_msgs::msg::GoalStatus::STATUS_ABORTED,
};

template<typename ActionT>
class Client;

template<typename ActionT>
class ClientGoalHandle
{
public:
  using SharedPtr = std::shared_ptr<ClientGoalHandle>;
  using WeakPtr = std::weak_ptr<ClientGoalHandle>;
  using Feedback = typename ActionT::Feedback;
  using Result = typename ActionT::Result;

  struct WrappedResult
  {
    GoalUUID goal_id;
    typename ActionT::Result::SharedPtr result;
    ResultCode code;
  };

  using FeedbackCallback =
    std::function<void(typename ClientGoalHandle<ActionT>::SharedPtr,
      const std::shared_ptr<const Feedback>)>;
  using ResultCallback = std::function<void(const WrappedResult & result)>;

  const GoalUUID & get_goal_id() const {return info_.goal_id.uuid;}
  rclcpp::Time get_goal_stamp() const {return rclcpp::Time(info_.stamp);}

  int8_t get_status()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
  }

  bool is_feedback_aware()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<bool>(feedback_callback_);
  }

  bool is_result_aware()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return is_result_aware_;
  }

private:
  friend class Client<ActionT>;

  ClientGoalHandle(
    const GoalInfo & info, FeedbackCallback feedback_callback, ResultCallback result_callback)
  : info_(info), result_future_(result_promise_.get_future()),
    feedback_callback_(std::move(feedback_callback)),
    result_callback_(std::move(result_callback)) {}

  std::shared_future<WrappedResult> async_get_result() {return result_future_;}

  void set_result_callback(ResultCallback callback)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_callback_ = std::move(callback);
  }

  // Marks the handle as waiting for its result; false when it did already.
  bool make_result_aware()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool was_aware = is_result_aware_;
    is_result_aware_ = true;
    return !was_aware;
  }

  void set_status(int8_t status)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
  }

  void call_feedback_callback(SharedPtr self, std::shared_ptr<const Feedback> feedback)
  {
    FeedbackCallback callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      callback = feedback_callback_;
    }
    if (callback) {
      callback(std::move(self), std::move(feedback));
    }
  }

  void set_result(const WrappedResult & wrapped_result)
  {
    ResultCallback callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      status_ = static_cast<int8_t>(wrapped_result.code);
      callback = result_callback_;
    }
    result_promise_.set_value(wrapped_result);
    if (callback) {
      callback(wrapped_result);
    }
  }

  const GoalInfo info_;
  std::promise<WrappedResult> result_promise_;
  std::shared_future<WrappedResult> result_future_;
  std::mutex mutex_;
  FeedbackCallback feedback_callback_;
  ResultCallback result_callback_;
  int8_t status_ = GoalStatus::STATUS_ACCEPTED;
  bool is_result_aware_ = false;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_
