// The action client, built on the client library's own services and topics: goals go out on
// "<name>/_action/send_goal", results come back through "<name>/_action/get_result", cancel
// requests use "<name>/_action/cancel_goal", and feedback and status arrive on
// "<name>/_action/feedback" and "<name>/_action/status". Every callback runs on the thread that
// spins the client's node.
#ifndef RCLCPP_ACTION__CLIENT_HPP_
#define RCLCPP_ACTION__CLIENT_HPP_

#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "action_msgs/msg/goal_status_array.hpp"
#include "action_msgs/srv/cancel_goal.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp_action/client_goal_handle.hpp"
#include "rclcpp_action/exceptions.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

// What does not depend on the action type: finding the server.
class ClientBase
{
public:
  virtual ~ClientBase() = default;
  ClientBase(const ClientBase &) = delete;
  ClientBase & operator=(const ClientBase &) = delete;

  // True when the goal, result and cancel services all have a server.
  bool action_server_is_ready() const;

  // A negative time-out waits without limit. Callable from any thread, also while the client's
  // node is spun elsewhere. False on time-out or when the context shuts down.
  template<typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_action_server(
    std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1))
  {
    return wait_for_action_server_nanoseconds(
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

protected:
  ClientBase(
    rclcpp::Node::SharedPtr node, rclcpp::ClientBase::SharedPtr send_goal_client,
    rclcpp::ClientBase::SharedPtr get_result_client, rclcpp::ClientBase::SharedPtr cancel_client);

private:
  bool wait_for_action_server_nanoseconds(std::chrono::nanoseconds timeout);

  const rclcpp::Node::SharedPtr node_;
  const rclcpp::ClientBase::SharedPtr send_goal_client_;
  const rclcpp::ClientBase::SharedPtr get_result_client_;
  const rclcpp::ClientBase::SharedPtr cancel_client_;
};

template<typename ActionT>
class Client : public ClientBase
{
  using SendGoalService = typename ActionT::Impl::SendGoalService;
  using GetResultService = typename ActionT::Impl::GetResultService;
  using CancelGoalService = typename ActionT::Impl::CancelGoalService;
  using FeedbackMessage = typename ActionT::Impl::FeedbackMessage;
  using GoalStatusMessage = typename ActionT::Impl::GoalStatusMessage;

public:
  using SharedPtr = std::shared_ptr<Client>;
  using Goal = typename ActionT::Goal;
  using Feedback = typename ActionT::Feedback;
  using GoalHandle = ClientGoalHandle<ActionT>;
  using WrappedResult = typename GoalHandle::WrappedResult;
  using GoalResponseCallback = std::function<void(typename GoalHandle::SharedPtr)>;
  using FeedbackCallback = typename GoalHandle::FeedbackCallback;
  using ResultCallback = typename GoalHandle::ResultCallback;
  using CancelRequest = typename CancelGoalService::Request;
  using CancelResponse = typename CancelGoalService::Response;
  using CancelCallback = std::function<void(typename CancelResponse::SharedPtr)>;

  struct SendGoalOptions
  {
    // Called with the goal handle, or with a null handle when the server rejected the goal.
    GoalResponseCallback goal_response_callback;
    FeedbackCallback feedback_callback;
    // When set, the result is requested as soon as the goal is accepted.
    ResultCallback result_callback;
  };

  Client(rclcpp::Node::SharedPtr node, const std::string & action_name)
  : Client(node, action_name, Entities{
        node->create_client<SendGoalService>(action_name + "/_action/send_goal"),
        node->create_client<GetResultService>(action_name + "/_action/get_result"),
        node->create_client<CancelGoalService>(action_name + "/_action/cancel_goal")})
  {
  }

  std::shared_future<typename GoalHandle::SharedPtr> async_send_goal(
    const Goal & goal, const SendGoalOptions & options = SendGoalOptions())
  {
    auto promise = std::make_shared<std::promise<typename GoalHandle::SharedPtr>>();
    std::shared_future<typename GoalHandle::SharedPtr> future(promise->get_future());
    auto request = std::make_shared<typename SendGoalService::Request>();
    const GoalUUID goal_id = generate_goal_id();
    request->goal_id.uuid = goal_id;
    request->goal = goal;
    send_goal_client_->async_send_request(request,
      [weak_goals = std::weak_ptr<Goals>(goals_), goal_id, promise, options](
        typename rclcpp::Client<SendGoalService>::SharedFuture response_future) {
        // A client destroyed meanwhile leaves the promise broken.
        if (auto goals = weak_goals.lock()) {
          goals->on_goal_response(goal_id, *response_future.get(), *promise, options);
        }
      });
    return future;
  }

  // Throws UnknownGoalHandleError for a handle that this client does not track.
  std::shared_future<WrappedResult> async_get_result(
    typename GoalHandle::SharedPtr goal_handle, ResultCallback result_callback = nullptr)
  {
    goals_->require_known(goal_handle);
    if (result_callback) {
      goal_handle->set_result_callback(std::move(result_callback));
    }
    goals_->make_result_aware(goal_handle);
    return goal_handle->async_get_result();
  }

  // Throws UnknownGoalHandleError for a handle that this client does not track.
  std::shared_future<typename CancelResponse::SharedPtr> async_cancel_goal(
    typename GoalHandle::SharedPtr goal_handle, CancelCallback cancel_callback = nullptr)
  {
    goals_->require_known(goal_handle);
    auto request = std::make_shared<CancelRequest>();
    request->goal_info.goal_id.uuid = goal_handle->get_goal_id();
    auto promise = std::make_shared<std::promise<typename CancelResponse::SharedPtr>>();
    std::shared_future<typename CancelResponse::SharedPtr> future(promise->get_future());
    cancel_client_->async_send_request(request,
      [promise, cancel_callback = std::move(cancel_callback)](
        typename rclcpp::Client<CancelGoalService>::SharedFuture response_future) {
        const auto response = response_future.get();
        promise->set_value(response);
        if (cancel_callback) {
          cancel_callback(response);
        }
      });
    return future;
  }

private:
  struct Entities
  {
    typename rclcpp::Client<SendGoalService>::SharedPtr send_goal;
    typename rclcpp::Client<GetResultService>::SharedPtr get_result;
    typename rclcpp::Client<CancelGoalService>::SharedPtr cancel;
  };

  // The goals in flight and what the client's callbacks do with them. The callbacks run on the
  // node's thread, which may still be in one when the client is destroyed, so they hold this
  // weakly and keep it alive while they run.
  class Goals : public std::enable_shared_from_this<Goals>
  {
  public:
    explicit Goals(typename rclcpp::Client<GetResultService>::SharedPtr get_result_client)
    : get_result_client_(std::move(get_result_client)) {}

    void on_goal_response(
      const GoalUUID & goal_id, const typename SendGoalService::Response & response,
      std::promise<typename GoalHandle::SharedPtr> & promise, const SendGoalOptions & options)
    {
      if (!response.accepted) {
        promise.set_value(nullptr);
        if (options.goal_response_callback) {
          options.goal_response_callback(nullptr);
        }
        return;
      }
      GoalInfo info;
      info.goal_id.uuid = goal_id;
      info.stamp = response.stamp;
      // The handle's constructor is private to the client.
      typename GoalHandle::SharedPtr handle(
        new GoalHandle(info, options.feedback_callback, options.result_callback));
      {
        std::lock_guard<std::mutex> lock(mutex_);
        handles_[goal_id] = handle;
      }
      promise.set_value(handle);
      if (options.goal_response_callback) {
        options.goal_response_callback(handle);
      }
      if (options.result_callback) {
        make_result_aware(handle);
      }
    }

    void require_known(const typename GoalHandle::SharedPtr & goal_handle)
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (handles_.count(goal_handle->get_goal_id()) == 0) {
        throw exceptions::UnknownGoalHandleError();
      }
    }

    void make_result_aware(typename GoalHandle::SharedPtr goal_handle)
    {
      if (!goal_handle->make_result_aware()) {
        return;
      }
      auto request = std::make_shared<typename GetResultService::Request>();
      request->goal_id.uuid = goal_handle->get_goal_id();
      get_result_client_->async_send_request(request,
        [weak_self = this->weak_from_this(), goal_handle](
          typename rclcpp::Client<GetResultService>::SharedFuture response_future) {
          if (auto self = weak_self.lock()) {
            self->on_result(goal_handle, *response_future.get());
          }
        });
    }

    void on_feedback(const FeedbackMessage & message)
    {
      if (auto handle = find_handle(message.goal_id.uuid)) {
        handle->call_feedback_callback(handle, std::make_shared<const Feedback>(message.feedback));
      }
    }

    void on_status(const GoalStatusMessage & message)
    {
      for (const auto & status : message.status_list) {
        if (auto handle = find_handle(status.goal_info.goal_id.uuid)) {
          handle->set_status(status.status);
        }
      }
    }

  private:
    void on_result(
      const typename GoalHandle::SharedPtr & goal_handle,
      const typename GetResultService::Response & response)
    {
      WrappedResult wrapped_result;
      wrapped_result.goal_id = goal_handle->get_goal_id();
      wrapped_result.result = std::make_shared<typename ActionT::Result>(response.result);
      wrapped_result.code = static_cast<ResultCode>(response.status);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        handles_.erase(goal_handle->get_goal_id());
      }
      goal_handle->set_result(wrapped_result);
    }

    typename GoalHandle::SharedPtr find_handle(const GoalUUID & goal_id)
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = handles_.find(goal_id);
      if (found == handles_.end()) {
        return nullptr;
      }
      auto handle = found->second.lock();
      if (!handle) {
        handles_.erase(found);
      }
      return handle;
    }

    const typename rclcpp::Client<GetResultService>::SharedPtr get_result_client_;
    std::mutex mutex_;
    std::map<GoalUUID, typename GoalHandle::WeakPtr> handles_;
  };

  Client(rclcpp::Node::SharedPtr node, const std::string & action_name, Entities entities)
  : ClientBase(node, entities.send_goal, entities.get_result, entities.cancel),
    send_goal_client_(entities.send_goal),
    cancel_client_(entities.cancel),
    goals_(std::make_shared<Goals>(entities.get_result))
  {
    feedback_subscription_ = node->template create_subscription<FeedbackMessage>(
      action_name + "/_action/feedback", rclcpp::QoS(10),
      [weak_goals = std::weak_ptr<Goals>(goals_)](
        std::shared_ptr<const FeedbackMessage> message) {
        if (auto goals = weak_goals.lock()) {
          goals->on_feedback(*message);
        }
      });
    status_subscription_ = node->template create_subscription<GoalStatusMessage>(
      action_name + "/_action/status", rclcpp::QoS(1).transient_local(),
      [weak_goals = std::weak_ptr<Goals>(goals_)](
        std::shared_ptr<const GoalStatusMessage> message) {
        if (auto goals = weak_goals.lock()) {
          goals->on_status(*message);
        }
      });
  }

  const typename rclcpp::Client<SendGoalService>::SharedPtr send_goal_client_;
  const typename rclcpp::Client<CancelGoalService>::SharedPtr cancel_client_;
  const std::shared_ptr<Goals> goals_;
  typename rclcpp::Subscription<FeedbackMessage>::SharedPtr feedback_subscription_;
  typename rclcpp::Subscription<GoalStatusMessage>::SharedPtr status_subscription_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CLIENT_HPP_
