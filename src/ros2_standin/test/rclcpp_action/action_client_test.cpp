// The FollowJointTrajectory action client against an in-process server, each node spun on its
// own thread while the test thread waits as a command handler does.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "control_msgs/action/follow_joint_trajectory.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"

#include "../support/ros_test_support.hpp"

namespace
{

using namespace std::chrono_literals;
using FollowJointTrajectory = control_msgs::action::FollowJointTrajectory;
using GoalHandle = rclcpp_action::ClientGoalHandle<FollowJointTrajectory>;
using ServerGoalHandle = rclcpp_action::ServerGoalHandle<FollowJointTrajectory>;
using rclcpp_action::ResultCode;

// How the simulated controller treats a goal.
enum class Controller { SucceedAfterFeedback, Reject, Abort, HoldForCancel, Abandon };

class ActionClient : public RosTest
{
protected:
  void SetUp() override
  {
    RosTest::SetUp();
    client_ = rclcpp_action::create_client<FollowJointTrajectory>(client_node_, kActionName);
    client_executor_.add_node(client_node_);
    server_executor_.add_node(server_node_);
    client_spin_ = std::make_unique<SpinThread>(client_executor_);
  }

  void TearDown() override
  {
    client_spin_.reset();
    server_spin_.reset();
    for (auto & worker : workers_) {
      worker.join();
    }
    RosTest::TearDown();
  }

  // The controller treats each goal as `behaviour_` says when the goal arrives, and does its
  // work on a thread of its own as a real controller does.
  void start_server()
  {
    server_ = rclcpp_action::create_server<FollowJointTrajectory>(server_node_, kActionName,
        [this](const rclcpp_action::GoalUUID &, std::shared_ptr<const FollowJointTrajectory::Goal>) {
          return behaviour_ == Controller::Reject ? rclcpp_action::GoalResponse::REJECT :
          rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
        },
        [](std::shared_ptr<ServerGoalHandle>) {return rclcpp_action::CancelResponse::ACCEPT;},
        [this](std::shared_ptr<ServerGoalHandle> handle) {
          workers_.emplace_back([this, behaviour = behaviour_.load(), handle] {
            execute(behaviour, handle);
          });
        });
    server_spin_ = std::make_unique<SpinThread>(server_executor_);
  }

  void execute(Controller behaviour, const std::shared_ptr<ServerGoalHandle> & handle)
  {
    auto result = std::make_shared<FollowJointTrajectory::Result>();
    if (behaviour == Controller::SucceedAfterFeedback) {
      // Feedback sent before the client knows the goal is dropped, so keep sending a while.
      wait_until([&] {
          handle->publish_feedback(std::make_shared<FollowJointTrajectory::Feedback>());
          return feedback_seen_ > 0;
        });
      handle->succeed(result);
    } else if (behaviour == Controller::Abort) {
      result->error_string = "collision";
      handle->abort(result);
    } else if (behaviour == Controller::HoldForCancel) {
      wait_until([&handle] {return handle->is_canceling();});
      handle->canceled(result);
    }
  }

  // Sends the goal with the three callbacks, as the node's motion command does; each callback
  // notes whether it ran anywhere but on the client node's thread.
  std::shared_future<GoalHandle::SharedPtr> send(Controller behaviour)
  {
    behaviour_ = behaviour;
    goal_response_ = 0;
    result_code_ = ResultCode::UNKNOWN;
    const auto check_thread = [this] {
        off_client_thread_ = off_client_thread_ || std::this_thread::get_id() != client_spin_->id();
      };
    rclcpp_action::Client<FollowJointTrajectory>::SendGoalOptions options;
    options.goal_response_callback = [this, check_thread](const GoalHandle::SharedPtr & handle) {
        check_thread();
        goal_response_ = handle ? 1 : -1;
      };
    options.feedback_callback = [this, check_thread](GoalHandle::SharedPtr,
        const std::shared_ptr<const FollowJointTrajectory::Feedback>) {
        check_thread();
        ++feedback_seen_;
      };
    options.result_callback = [this, check_thread](const GoalHandle::WrappedResult & result) {
        check_thread();
        std::lock_guard<std::mutex> lock(mutex_);
        error_string_ = result.result->error_string;
        result_code_ = result.code;
      };
    return client_->async_send_goal(FollowJointTrajectory::Goal(), options);
  }

  static constexpr char kActionName[] = "/arm6/follow_joint_trajectory";
  rclcpp::Node::SharedPtr client_node_ = std::make_shared<rclcpp::Node>("node3");
  rclcpp::Node::SharedPtr server_node_ = std::make_shared<rclcpp::Node>("controller");
  rclcpp_action::Client<FollowJointTrajectory>::SharedPtr client_;
  rclcpp_action::Server<FollowJointTrajectory>::SharedPtr server_;
  rclcpp::executors::SingleThreadedExecutor client_executor_;
  rclcpp::executors::SingleThreadedExecutor server_executor_;
  std::unique_ptr<SpinThread> server_spin_;
  std::unique_ptr<SpinThread> client_spin_;
  std::vector<std::thread> workers_;
  std::atomic<Controller> behaviour_{Controller::SucceedAfterFeedback};
  std::atomic<int> goal_response_{0};  // 1 accepted, -1 rejected
  std::atomic<ResultCode> result_code_{ResultCode::UNKNOWN};  // no result yet
  std::atomic<int> feedback_seen_{0};
  std::atomic<bool> off_client_thread_{false};
  std::mutex mutex_;
  std::string error_string_;
};

// A wait times out while the server is absent, and an unlimited one on another thread sees it
// arrive. Then each outcome: an abandoned goal ends cancelled, a rejected one gives a null handle
// and fetches no result, and a cancelled goal is forgotten once finished. Last, the client is
// destroyed while it handles a response.
TEST_F(ActionClient, WaitForTheServerEachOutcomeOnTheClientThreadAndDestructionMidResponse)
{
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client_->wait_for_action_server(100ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  auto found = std::async(std::launch::async,
      [this] {return client_->wait_for_action_server(std::chrono::milliseconds(-1));});
  std::this_thread::sleep_for(20ms);
  start_server();
  ASSERT_EQ(found.wait_for(kHangTimeout), std::future_status::ready);
  EXPECT_TRUE(found.get());

  const std::tuple<Controller, int, ResultCode, const char *> cases[] = {
    // controller, goal response, result code, error string
    {Controller::SucceedAfterFeedback, 1, ResultCode::SUCCEEDED, ""},
    {Controller::Abort, 1, ResultCode::ABORTED, "collision"},
    {Controller::Abandon, 1, ResultCode::CANCELED, ""},
    {Controller::Reject, -1, ResultCode::UNKNOWN, ""},
  };
  for (const auto & [controller, goal_response, result_code, error_string] : cases) {
    auto goal_handle = send(controller);
    ASSERT_TRUE(wait_until([&] {return goal_response_ < 0 || result_code_ != ResultCode::UNKNOWN;}));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(goal_response_.load(), goal_response);
    EXPECT_EQ(result_code_.load(), result_code);
    ASSERT_EQ(goal_handle.wait_for(kHangTimeout), std::future_status::ready);
    EXPECT_EQ(goal_handle.get() != nullptr, goal_response > 0);
    std::lock_guard<std::mutex> lock(mutex_);
    EXPECT_EQ(error_string_, error_string);
  }
  EXPECT_GE(feedback_seen_.load(), 1);

  auto goal_handle = send(Controller::HoldForCancel);
  ASSERT_EQ(goal_handle.wait_for(kHangTimeout), std::future_status::ready);
  ASSERT_TRUE(goal_handle.get());
  auto cancel = client_->async_cancel_goal(goal_handle.get());
  ASSERT_EQ(cancel.wait_for(kHangTimeout), std::future_status::ready);
  EXPECT_EQ(cancel.get()->return_code, action_msgs::srv::CancelGoal::Response::ERROR_NONE);
  ASSERT_EQ(cancel.get()->goals_canceling.size(), 1u);
  ASSERT_TRUE(wait_until([&] {return result_code_ == ResultCode::CANCELED;}));
  EXPECT_THROW(client_->async_cancel_goal(goal_handle.get()),
    rclcpp_action::exceptions::UnknownGoalHandleError);
  EXPECT_FALSE(off_client_thread_.load());

  // Destroyed while its node runs a goal response: the client must not be touched once that
  // callback returns.
  behaviour_ = Controller::Abandon;
  std::atomic<bool> responding{false};
  std::atomic<bool> destroyed{false};
  rclcpp_action::Client<FollowJointTrajectory>::SendGoalOptions options;
  options.goal_response_callback = [&](const GoalHandle::SharedPtr &) {
      responding = true;
      wait_until([&destroyed] {return destroyed.load();});
    };
  // Set, so the client asks for the result once the goal response callback returns.
  options.result_callback = [](const GoalHandle::WrappedResult &) {};
  client_->async_send_goal(FollowJointTrajectory::Goal(), options);
  ASSERT_TRUE(wait_until([&] {return responding.load();}));
  client_.reset();
  destroyed = true;
  std::this_thread::sleep_for(20ms);
}

}  // namespace
