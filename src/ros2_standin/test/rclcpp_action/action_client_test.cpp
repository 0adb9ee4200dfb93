// The FollowJointTrajectory action client against an in-process server, each node spun on its
// own thread while the test thread waits as a command handler does: accepted and succeeded,
// rejected, aborted, cancelled, an abandoned goal, a client destroyed while it handles a
// response, and a server that is absent.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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

const char kActionName[] = "/arm6/follow_joint_trajectory";

// How the simulated controller treats a goal.
enum class Controller { Succeed, SucceedAfterFeedback, Reject, Abort, HoldForCancel, Abandon };

// What the client's callbacks saw, written on the client node's thread.
struct Outcome
{
  std::atomic<int> goal_response{0};  // 1 accepted, -1 rejected
  std::atomic<int> result_code{-100};
  std::atomic<bool> result_received{false};
  std::atomic<bool> called_off_the_client_thread{false};
  std::mutex mutex;
  std::string error_string;
};

class ActionClient : public RosTest
{
protected:
  void SetUp() override
  {
    RosTest::SetUp();
    client_node_ = std::make_shared<rclcpp::Node>("node3");
    server_node_ = std::make_shared<rclcpp::Node>("controller");
    client_ = rclcpp_action::create_client<FollowJointTrajectory>(client_node_, kActionName);
    client_executor_.add_node(client_node_);
    server_executor_.add_node(server_node_);
  }

  void TearDown() override
  {
    client_spin_.reset();
    server_spin_.reset();
    if (worker_.joinable()) {
      worker_.join();
    }
    RosTest::TearDown();
  }

  void start_server(Controller behaviour)
  {
    server_ = rclcpp_action::create_server<FollowJointTrajectory>(server_node_, kActionName,
        [behaviour](const rclcpp_action::GoalUUID &,
        std::shared_ptr<const FollowJointTrajectory::Goal> goal) {
          EXPECT_EQ(goal->trajectory.joint_names.size(), 6u);
          return behaviour == Controller::Reject ? rclcpp_action::GoalResponse::REJECT :
          rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
        },
        [](std::shared_ptr<ServerGoalHandle>) {return rclcpp_action::CancelResponse::ACCEPT;},
        [this, behaviour](std::shared_ptr<ServerGoalHandle> handle) {
          worker_ = std::thread([this, behaviour, handle]() mutable {execute(behaviour, handle);});
        });
    server_spin_ = std::make_unique<SpinThread>(server_executor_);
  }

  // The controller's work, on a thread of its own as a real controller does.
  void execute(Controller behaviour, std::shared_ptr<ServerGoalHandle> handle)
  {
    auto result = std::make_shared<FollowJointTrajectory::Result>();
    auto feedback = std::make_shared<FollowJointTrajectory::Feedback>();
    feedback->joint_names = handle->get_goal()->trajectory.joint_names;
    switch (behaviour) {
      case Controller::SucceedAfterFeedback:
        // Feedback sent before the client knows the goal is dropped, so keep sending a while.
        for (int i = 0; i < 2000 && feedback_seen_ == 0; ++i) {
          handle->publish_feedback(feedback);
          std::this_thread::sleep_for(1ms);
        }
        [[fallthrough]];
      case Controller::Succeed:
        result->error_code = FollowJointTrajectory::Result::SUCCESSFUL;
        handle->succeed(result);
        break;
      case Controller::Abort:
        result->error_code = FollowJointTrajectory::Result::PATH_TOLERANCE_VIOLATED;
        result->error_string = "collision";
        handle->abort(result);
        break;
      case Controller::HoldForCancel:
        while (!handle->is_canceling()) {
          std::this_thread::sleep_for(1ms);
        }
        handle->canceled(result);
        break;
      case Controller::Abandon:
      case Controller::Reject:
        break;
    }
  }

  void start_client_spin()
  {
    client_spin_ = std::make_unique<SpinThread>(client_executor_);
    client_thread_ = client_spin_->id();
  }

  // A server with the given behaviour, the client spinning on its own thread, and the two connected.
  void connect(Controller behaviour)
  {
    start_server(behaviour);
    start_client_spin();
    ASSERT_TRUE(client_->wait_for_action_server(5s));
  }

  static FollowJointTrajectory::Goal six_joint_goal()
  {
    FollowJointTrajectory::Goal goal;
    goal.trajectory.joint_names = {"joint1", "joint2", "joint3", "joint4", "joint5", "joint6"};
    goal.trajectory.points.resize(2);
    return goal;
  }

  // Sends the goal with the three callbacks, as the node's motion command does.
  std::shared_future<GoalHandle::SharedPtr> send(Outcome & outcome)
  {
    const auto record_thread = [this, &outcome] {
        if (std::this_thread::get_id() != client_thread_) {
          outcome.called_off_the_client_thread = true;
        }
      };
    rclcpp_action::Client<FollowJointTrajectory>::SendGoalOptions options;
    options.goal_response_callback = [record_thread, &outcome](const GoalHandle::SharedPtr & handle) {
        record_thread();
        outcome.goal_response = handle ? 1 : -1;
      };
    options.feedback_callback = [this, record_thread](GoalHandle::SharedPtr,
        const std::shared_ptr<const FollowJointTrajectory::Feedback> feedback) {
        record_thread();
        EXPECT_EQ(feedback->joint_names.size(), 6u);
        ++feedback_seen_;
      };
    options.result_callback = [record_thread, &outcome](const GoalHandle::WrappedResult & result) {
        record_thread();
        {
          std::lock_guard<std::mutex> lock(outcome.mutex);
          outcome.error_string = result.result->error_string;
        }
        outcome.result_code = static_cast<int>(result.code);
        outcome.result_received = true;
      };
    return client_->async_send_goal(six_joint_goal(), options);
  }

  // Polls like the command handler: until the flag is set or about two seconds passed.
  static bool wait_for(const std::function<bool()> & condition)
  {
    for (int cycle = 0; cycle < 2000 && !condition(); ++cycle) {
      std::this_thread::sleep_for(1ms);
    }
    return condition();
  }

  rclcpp::Node::SharedPtr client_node_;
  rclcpp::Node::SharedPtr server_node_;
  rclcpp_action::Client<FollowJointTrajectory>::SharedPtr client_;
  rclcpp_action::Server<FollowJointTrajectory>::SharedPtr server_;
  rclcpp::executors::SingleThreadedExecutor client_executor_;
  rclcpp::executors::SingleThreadedExecutor server_executor_;
  std::unique_ptr<SpinThread> server_spin_;
  std::unique_ptr<SpinThread> client_spin_;
  std::thread::id client_thread_;
  std::atomic<int> feedback_seen_{0};
  std::thread worker_;
};

TEST_F(ActionClient, AcceptedAndSucceeded)
{
  ASSERT_NO_FATAL_FAILURE(connect(Controller::SucceedAfterFeedback));
  Outcome outcome;
  auto goal_handle = send(outcome);
  ASSERT_TRUE(wait_for([&] {return outcome.result_received.load();}));
  EXPECT_EQ(outcome.goal_response.load(), 1);
  EXPECT_EQ(outcome.result_code.load(), static_cast<int>(rclcpp_action::ResultCode::SUCCEEDED));
  EXPECT_GE(feedback_seen_.load(), 1);
  ASSERT_EQ(goal_handle.wait_for(1s), std::future_status::ready);
  ASSERT_TRUE(goal_handle.get());
  EXPECT_EQ(goal_handle.get()->get_status(), action_msgs::msg::GoalStatus::STATUS_SUCCEEDED);
  EXPECT_FALSE(outcome.called_off_the_client_thread.load());
}

TEST_F(ActionClient, RejectedGoalGivesANullHandle)
{
  ASSERT_NO_FATAL_FAILURE(connect(Controller::Reject));
  Outcome outcome;
  auto goal_handle = send(outcome);
  ASSERT_TRUE(wait_for([&] {return outcome.goal_response.load() != 0;}));
  EXPECT_EQ(outcome.goal_response.load(), -1);
  ASSERT_EQ(goal_handle.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(goal_handle.get(), nullptr);
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(outcome.result_received.load()) << "no result is fetched for a rejected goal";
  EXPECT_FALSE(outcome.called_off_the_client_thread.load());
}

TEST_F(ActionClient, CancelledGoal)
{
  ASSERT_NO_FATAL_FAILURE(connect(Controller::HoldForCancel));
  Outcome outcome;
  auto goal_handle = send(outcome);
  ASSERT_EQ(goal_handle.wait_for(2s), std::future_status::ready);
  ASSERT_TRUE(goal_handle.get());
  auto cancel = client_->async_cancel_goal(goal_handle.get());
  ASSERT_EQ(cancel.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(cancel.get()->return_code, action_msgs::srv::CancelGoal::Response::ERROR_NONE);
  ASSERT_EQ(cancel.get()->goals_canceling.size(), 1u);
  ASSERT_TRUE(wait_for([&] {return outcome.result_received.load();}));
  EXPECT_EQ(outcome.result_code.load(), static_cast<int>(rclcpp_action::ResultCode::CANCELED));
  EXPECT_FALSE(outcome.called_off_the_client_thread.load());
  EXPECT_THROW(client_->async_cancel_goal(goal_handle.get()),
    rclcpp_action::exceptions::UnknownGoalHandleError) << "a finished goal is forgotten";
}

TEST_F(ActionClient, AbortedGoalKeepsTheControllersErrorString)
{
  ASSERT_NO_FATAL_FAILURE(connect(Controller::Abort));
  Outcome outcome;
  send(outcome);
  ASSERT_TRUE(wait_for([&] {return outcome.result_received.load();}));
  EXPECT_EQ(outcome.result_code.load(), static_cast<int>(rclcpp_action::ResultCode::ABORTED));
  std::lock_guard<std::mutex> lock(outcome.mutex);
  EXPECT_EQ(outcome.error_string, "collision");
}

TEST_F(ActionClient, GoalAbandonedByTheServerEndsCancelled)
{
  ASSERT_NO_FATAL_FAILURE(connect(Controller::Abandon));
  Outcome outcome;
  send(outcome);
  ASSERT_TRUE(wait_for([&] {return outcome.result_received.load();}));
  EXPECT_EQ(outcome.result_code.load(), static_cast<int>(rclcpp_action::ResultCode::CANCELED));
}

TEST_F(ActionClient, ClientDestroyedWhileItsNodeRunsAGoalResponse)
{
  ASSERT_NO_FATAL_FAILURE(connect(Controller::Succeed));
  std::atomic<bool> responding{false};
  std::atomic<bool> destroyed{false};
  rclcpp_action::Client<FollowJointTrajectory>::SendGoalOptions options;
  options.goal_response_callback = [&](const GoalHandle::SharedPtr &) {
      responding = true;
      while (!destroyed) {
        std::this_thread::sleep_for(1ms);
      }
    };
  // Set, so the client asks for the result once the goal response callback returns.
  options.result_callback = [](const GoalHandle::WrappedResult &) {};
  client_->async_send_goal(six_joint_goal(), options);
  ASSERT_TRUE(wait_for([&] {return responding.load();}));
  client_.reset();
  destroyed = true;
  std::this_thread::sleep_for(20ms);
}

// A wait times out while the server is absent; a wait from another thread sees it arrive.
TEST_F(ActionClient, WaitForTheServer)
{
  start_client_spin();
  EXPECT_FALSE(client_->action_server_is_ready());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client_->wait_for_action_server(100ms));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 100ms);
  EXPECT_LT(waited, 1s);

  auto found = std::async(std::launch::async,
      [this] {return client_->wait_for_action_server(std::chrono::milliseconds(-1));});
  std::this_thread::sleep_for(20ms);
  start_server(Controller::Succeed);
  ASSERT_EQ(found.wait_for(2s), std::future_status::ready);
  EXPECT_TRUE(found.get());
}

}  // namespace
