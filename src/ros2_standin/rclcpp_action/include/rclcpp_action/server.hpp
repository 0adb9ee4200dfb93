// The action server, for tests and simulated peers: answers goal, cancel and result requests on
// the services of an action and publishes its feedback and goal status.
#ifndef RCLCPP_ACTION__SERVER_HPP_
#define RCLCPP_ACTION__SERVER_HPP_

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "action_msgs/msg/goal_status_array.hpp"
#include "action_msgs/srv/cancel_goal.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp_action/server_goal_handle.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

enum class GoalResponse : int8_t
{
  REJECT = 1,
  ACCEPT_AND_EXECUTE = 2,
  ACCEPT_AND_DEFER = 3,
};

enum class CancelResponse : int8_t
{
  REJECT = 1,
  ACCEPT = 2,
};

namespace detail
{

// Whether a goal may move from one status to another.
bool transition_allowed(int8_t from, int8_t to);
bool is_terminal(int8_t status);

template<typename ActionT>
class ServerCore : public std::enable_shared_from_this<ServerCore<ActionT>>
{
  using SendGoalService = typename ActionT::Impl::SendGoalService;
  using GetResultService = typename ActionT::Impl::GetResultService;
  using CancelGoalService = typename ActionT::Impl::CancelGoalService;
  using FeedbackMessage = typename ActionT::Impl::FeedbackMessage;
  using GoalStatusMessage = typename ActionT::Impl::GoalStatusMessage;
  using GoalHandle = ServerGoalHandle<ActionT>;

public:
  using GoalCallback = std::function<GoalResponse(
        const GoalUUID &, std::shared_ptr<const typename ActionT::Goal>)>;
  using CancelCallback = std::function<CancelResponse(std::shared_ptr<GoalHandle>)>;
  using AcceptedCallback = std::function<void(std::shared_ptr<GoalHandle>)>;

  ServerCore(GoalCallback handle_goal, CancelCallback handle_cancel, AcceptedCallback handle_accepted)
  : handle_goal_(std::move(handle_goal)), handle_cancel_(std::move(handle_cancel)),
    handle_accepted_(std::move(handle_accepted)) {}

  // Creates the entities; their callbacks hold the core only weakly.
  void start(const rclcpp::Node::SharedPtr & node, const std::string & name)
  {
    std::weak_ptr<ServerCore> weak = this->shared_from_this();
    status_publisher_ = node->template create_publisher<GoalStatusMessage>(
      name + "/_action/status", rclcpp::QoS(1).transient_local());
    feedback_publisher_ = node->template create_publisher<FeedbackMessage>(
      name + "/_action/feedback", rclcpp::QoS(10));
    goal_service_ = node->template create_service<SendGoalService>(name + "/_action/send_goal",
        [weak](std::shared_ptr<rmw_request_id_t> id,
        std::shared_ptr<typename SendGoalService::Request> request) {
          if (auto core = weak.lock()) {core->on_goal_request(*id, std::move(request));}
        });
    result_service_ = node->template create_service<GetResultService>(
      name + "/_action/get_result",
      [weak](std::shared_ptr<rmw_request_id_t> id,
      std::shared_ptr<typename GetResultService::Request> request) {
        if (auto core = weak.lock()) {core->on_result_request(*id, *request);}
      });
    cancel_service_ = node->template create_service<CancelGoalService>(
      name + "/_action/cancel_goal",
      [weak](std::shared_ptr<typename CancelGoalService::Request> request,
      std::shared_ptr<typename CancelGoalService::Response> response) {
        if (auto core = weak.lock()) {core->on_cancel_request(*request, *response);}
      });
  }

  int8_t status(const GoalUUID & uuid) const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = goals_.find(uuid);
    return found == goals_.end() ? GoalStatus::STATUS_UNKNOWN : found->second.status;
  }

  void execute(const GoalUUID & uuid)
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      move_to(goals_.at(uuid), GoalStatus::STATUS_EXECUTING);
    }
    publish_status();
  }

  void finish(const GoalUUID & uuid, int8_t status, const typename ActionT::Result & result)
  {
    std::vector<rmw_request_id_t> waiting;
    typename GetResultService::Response response;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Goal & goal = goals_.at(uuid);
      move_to(goal, status);
      goal.result = std::make_shared<typename GetResultService::Response>();
      goal.result->status = status;
      goal.result->result = result;
      response = *goal.result;
      waiting.swap(goal.waiting_result_requests);
    }
    publish_status();
    for (auto & id : waiting) {
      auto copy = response;
      result_service_->send_response(id, copy);
    }
  }

  void abandon(const GoalUUID & uuid)
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = goals_.find(uuid);
      if (found == goals_.end() || is_terminal(found->second.status)) {
        return;
      }
      found->second.status = GoalStatus::STATUS_CANCELING;
    }
    finish(uuid, GoalStatus::STATUS_CANCELED, typename ActionT::Result());
  }

  void publish_feedback(const GoalUUID & uuid, const typename ActionT::Feedback & feedback)
  {
    auto message = std::make_unique<FeedbackMessage>();
    message->goal_id.uuid = uuid;
    message->feedback = feedback;
    feedback_publisher_->publish(std::move(message));
  }

private:
  struct Goal
  {
    GoalInfo info;
    int8_t status;
    std::weak_ptr<GoalHandle> handle;
    std::shared_ptr<typename GetResultService::Response> result;  // set once terminal
    std::vector<rmw_request_id_t> waiting_result_requests;
  };

  static void move_to(Goal & goal, int8_t status)
  {
    if (!transition_allowed(goal.status, status)) {
      throw std::runtime_error("goal cannot move from status " + std::to_string(goal.status) +
              " to status " + std::to_string(status));
    }
    goal.status = status;
  }

  void on_goal_request(
    rmw_request_id_t id, std::shared_ptr<typename SendGoalService::Request> request)
  {
    const GoalUUID uuid = request->goal_id.uuid;
    auto goal = std::make_shared<const typename ActionT::Goal>(std::move(request->goal));
    bool known = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      known = goals_.count(uuid) != 0;
    }
    const GoalResponse decision = known ? GoalResponse::REJECT : handle_goal_(uuid, goal);
    typename SendGoalService::Response response;
    response.accepted = decision != GoalResponse::REJECT;
    response.stamp = clock_.now();
    if (response.accepted) {
      std::lock_guard<std::mutex> lock(mutex_);
      Goal & record = goals_[uuid];
      record.info.goal_id.uuid = uuid;
      record.info.stamp = response.stamp;
      record.status = decision == GoalResponse::ACCEPT_AND_EXECUTE ?
        GoalStatus::STATUS_EXECUTING : GoalStatus::STATUS_ACCEPTED;
    }
    goal_service_->send_response(id, response);
    if (decision == GoalResponse::REJECT) {
      return;
    }
    publish_status();
    std::shared_ptr<GoalHandle> handle(new GoalHandle(this->shared_from_this(), uuid, goal));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      goals_[uuid].handle = handle;
    }
    handle_accepted_(std::move(handle));
  }

  void on_result_request(rmw_request_id_t id, const typename GetResultService::Request & request)
  {
    typename GetResultService::Response response;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = goals_.find(request.goal_id.uuid);
      if (found != goals_.end() && !found->second.result) {
        found->second.waiting_result_requests.push_back(id);
        return;
      }
      if (found != goals_.end()) {
        response = *found->second.result;
      } else {
        response.status = GoalStatus::STATUS_UNKNOWN;
      }
    }
    result_service_->send_response(id, response);
  }

  void on_cancel_request(
    const typename CancelGoalService::Request & request,
    typename CancelGoalService::Response & response)
  {
    using Response = typename CancelGoalService::Response;
    const GoalUUID & target = request.goal_info.goal_id.uuid;
    const bool all = std::all_of(target.begin(), target.end(), [](uint8_t b) {return b == 0;});
    std::vector<std::shared_ptr<GoalHandle>> candidates;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!all) {
        auto found = goals_.find(target);
        if (found == goals_.end()) {
          response.return_code = Response::ERROR_UNKNOWN_GOAL_ID;
          return;
        }
        if (is_terminal(found->second.status)) {
          response.return_code = Response::ERROR_GOAL_TERMINATED;
          return;
        }
      }
      for (auto & [uuid, goal] : goals_) {
        if ((all || uuid == target) && transition_allowed(goal.status,
          GoalStatus::STATUS_CANCELING))
        {
          if (auto handle = goal.handle.lock()) {
            candidates.push_back(std::move(handle));
          }
        }
      }
    }
    for (const auto & handle : candidates) {
      if (handle_cancel_(handle) != CancelResponse::ACCEPT) {
        continue;
      }
      std::lock_guard<std::mutex> lock(mutex_);
      Goal & goal = goals_.at(handle->get_goal_id());
      if (transition_allowed(goal.status, GoalStatus::STATUS_CANCELING)) {
        goal.status = GoalStatus::STATUS_CANCELING;
        response.goals_canceling.push_back(goal.info);
      }
    }
    response.return_code = response.goals_canceling.empty() && !candidates.empty() ?
      Response::ERROR_REJECTED : Response::ERROR_NONE;
    if (!response.goals_canceling.empty()) {
      publish_status();
    }
  }

  void publish_status()
  {
    auto message = std::make_unique<GoalStatusMessage>();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const auto & [uuid, goal] : goals_) {
        GoalStatus status;
        status.goal_info = goal.info;
        status.status = goal.status;
        message->status_list.push_back(status);
      }
    }
    status_publisher_->publish(std::move(message));
  }

  const GoalCallback handle_goal_;
  const CancelCallback handle_cancel_;
  const AcceptedCallback handle_accepted_;
  const rclcpp::Clock clock_{RCL_ROS_TIME};
  mutable std::mutex mutex_;
  std::map<GoalUUID, Goal> goals_;
  typename rclcpp::Publisher<GoalStatusMessage>::SharedPtr status_publisher_;
  typename rclcpp::Publisher<FeedbackMessage>::SharedPtr feedback_publisher_;
  typename rclcpp::Service<SendGoalService>::SharedPtr goal_service_;
  typename rclcpp::Service<GetResultService>::SharedPtr result_service_;
  typename rclcpp::Service<CancelGoalService>::SharedPtr cancel_service_;
};

}  // namespace detail

template<typename ActionT>
class Server
{
public:
  using SharedPtr = std::shared_ptr<Server>;
  using GoalCallback = typename detail::ServerCore<ActionT>::GoalCallback;
  using CancelCallback = typename detail::ServerCore<ActionT>::CancelCallback;
  using AcceptedCallback = typename detail::ServerCore<ActionT>::AcceptedCallback;

  // Callbacks run on the thread that spins the node.
  Server(
    const rclcpp::Node::SharedPtr & node, const std::string & name, GoalCallback handle_goal,
    CancelCallback handle_cancel, AcceptedCallback handle_accepted)
  : core_(std::make_shared<detail::ServerCore<ActionT>>(std::move(handle_goal),
      std::move(handle_cancel), std::move(handle_accepted)))
  {
    core_->start(node, name);
  }

private:
  const std::shared_ptr<detail::ServerCore<ActionT>> core_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__SERVER_HPP_
