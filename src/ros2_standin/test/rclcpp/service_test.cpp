// Services between nodes spun on different threads: waiting for a server with and without a
// time-out, a round trip answered when the server's callback returns, and the bounded queue of
// requests that wait for the server.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "vantrel_interfaces/srv/arm_move_joints.hpp"

#include "../support/ros_test_support.hpp"

namespace
{

using namespace std::chrono_literals;
using ArmMoveJoints = vantrel_interfaces::srv::ArmMoveJoints;

class Services : public RosTest {};

// A wait times out without a server and ends once there is one (a server that arrives during a
// wait is the action client test's); the client's callback runs on its node's thread; an
// unlimited wait ends at shutdown.
TEST_F(Services, WaitForTheServerThenARoundTripAnsweredWhenTheCallbackReturns)
{
  auto server_node = std::make_shared<rclcpp::Node>("server_node");
  auto client_node = std::make_shared<rclcpp::Node>("client_node");
  auto client = client_node->create_client<ArmMoveJoints>("arm_move_joints");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client->wait_for_service(50ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
  std::atomic<bool> handler_started{false};
  std::atomic<bool> released{false};
  auto service = server_node->create_service<ArmMoveJoints>("/arm_move_joints",
      [&](std::shared_ptr<ArmMoveJoints::Request> request, std::shared_ptr<ArmMoveJoints::Response> response) {
        handler_started = true;
        wait_until([&released] {return released.load();});
        response->code = request->cmd_type * 10;
        response->message = "joints " + std::to_string(request->joints.data.size());
      });
  EXPECT_TRUE(client->wait_for_service(kHangTimeout));
  EXPECT_EQ(client_node->get_service_names_and_types().at("/arm_move_joints"),
    std::vector<std::string>{"vantrel_interfaces/srv/ArmMoveJoints"});

  rclcpp::executors::SingleThreadedExecutor server_executor;
  server_executor.add_node(server_node);
  rclcpp::executors::SingleThreadedExecutor client_executor;
  client_executor.add_node(client_node);
  SpinThread server_spin(server_executor);
  SpinThread client_spin(client_executor);
  std::atomic<std::thread::id> callback_thread{};
  auto request = std::make_shared<ArmMoveJoints::Request>();
  request->cmd_type = 2;
  request->joints.data = {0.0, 0.5, 1.0};
  auto result = client->async_send_request(request,
      [&callback_thread](rclcpp::Client<ArmMoveJoints>::SharedFuture) {
        callback_thread = std::this_thread::get_id();
      });
  ASSERT_TRUE(wait_until([&handler_started] {return handler_started.load();}));
  EXPECT_EQ(result.wait_for(50ms), std::future_status::timeout);
  released = true;
  ASSERT_EQ(result.wait_for(kHangTimeout), std::future_status::ready);
  EXPECT_EQ(result.get()->code, 20);
  EXPECT_EQ(result.get()->message, "joints 3");
  EXPECT_TRUE(wait_until([&] {return callback_thread.load() == client_spin.id();}));

  auto absent = client_node->create_client<ArmMoveJoints>("/absent");
  auto unlimited = std::async(std::launch::async,
      [&absent] {return absent->wait_for_service(std::chrono::milliseconds(-1));});
  EXPECT_EQ(unlimited.wait_for(30ms), std::future_status::timeout);
  rclcpp::shutdown();
  EXPECT_FALSE(unlimited.get());
  rclcpp::init(0, nullptr);
}

// Twelve requests reach a server that is not spun: a KEEP_LAST queue keeps the newest of them
// (depth 0 counts as 1) and drops the others unanswered; KEEP_ALL keeps them all.
TEST_F(Services, WaitingRequestsAreBoundedByTheHistoryDepth)
{
  rmw_qos_profile_t depth_zero = rmw_qos_profile_services_default;
  depth_zero.depth = 0;
  rmw_qos_profile_t keep_all = rmw_qos_profile_services_default;
  keep_all.history = RMW_QOS_POLICY_HISTORY_KEEP_ALL;
  const std::pair<rmw_qos_profile_t, size_t> cases[] = {  // profile, requests kept
    {rmw_qos_profile_services_default, 10}, {depth_zero, 1}, {keep_all, 12}};
  auto node = std::make_shared<rclcpp::Node>("queue_node");
  for (const auto & [profile, kept] : cases) {
    auto service = node->create_service<ArmMoveJoints>("/queued",
        [](std::shared_ptr<ArmMoveJoints::Request> request,
        std::shared_ptr<ArmMoveJoints::Response> response) {response->code = request->cmd_type;},
        profile);
    auto client = node->create_client<ArmMoveJoints>("/queued");
    std::vector<rclcpp::Client<ArmMoveJoints>::FutureAndRequestId> replies;
    for (int32_t i = 0; i < 12; ++i) {
      auto request = std::make_shared<ArmMoveJoints::Request>();
      request->cmd_type = i;
      replies.push_back(client->async_send_request(request));
    }
    // Replies come in order, so once the last is in, every kept request has been answered.
    ASSERT_TRUE(spin_until(node,
      [&replies] {return replies.back().wait_for(0s) == std::future_status::ready;}));
    for (size_t i = 0; i < replies.size(); ++i) {
      const bool answered = replies[i].wait_for(0s) == std::future_status::ready;
      EXPECT_EQ(answered, i >= 12 - kept) << kept << " kept, request " << i;
      if (answered) {
        EXPECT_EQ(replies[i].get()->code, static_cast<int32_t>(i));
      }
    }
  }
}

}  // namespace
