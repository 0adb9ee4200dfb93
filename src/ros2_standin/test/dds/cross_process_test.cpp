// Delivery over DDS between this process and the peer process: topics, a service, an action,
// QoS, a malformed sample from another participant, and the nodes each process announces.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "codec_samples.hpp"
#include "dds_transport/cdr_codec.hpp"
#include "dds_transport/dds_entities.hpp"
#include "dds_transport/dds_names.hpp"
#include "graph_reader.hpp"
#include "peer_process.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "std_msgs/msg/string.hpp"

#include "../support/dds_test_domain.hpp"
#include "../support/ros_test_support.hpp"

namespace
{

using namespace std::chrono_literals;
using FollowJointTrajectory = control_msgs::action::FollowJointTrajectory;
using ArmGrab = vantrel_interfaces::srv::ArmGrab;

class CrossProcess : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    rclcpp::InitOptions options;
    options.transport = rclcpp::TransportKind::Dds;
    options.shutdown_on_signal = false;
    claim_dds_test_domain();
    rclcpp::init(0, nullptr, options);
    peer_ = new PeerProcess(RAO_DDS_TEST_PEER);
  }

  static void TearDownTestSuite()
  {
    delete peer_;
    rclcpp::shutdown();
  }

  // Spins until the future is ready, and returns its value.
  template<typename FutureT>
  auto get(FutureT && future)
  {
    EXPECT_TRUE(spin_until(node_, [&future] {return future.wait_for(0s) == std::future_status::ready;}));
    return future.get();
  }

  // Publishes until the echo comes back: the peer's reader and writer match in their own time.
  template<typename MessageT>
  void expect_echo(const std::string & topic, const MessageT & sent)
  {
    auto publisher = node_->create_publisher<MessageT>(topic, 10);
    std::shared_ptr<const MessageT> received;
    auto subscription = node_->create_subscription<MessageT>(topic + "/echo", 10,
        [&received](std::shared_ptr<const MessageT> message) {received = message;});
    const auto deadline = std::chrono::steady_clock::now() + kHangTimeout;
    while (!received && std::chrono::steady_clock::now() < deadline) {
      publisher->publish(sent);
      spin_until(node_, [&received] {return received != nullptr;}, 100ms);
    }
    ASSERT_TRUE(received) << topic;
    EXPECT_EQ(*received, sent) << topic;
  }

  static PeerProcess * peer_;
  rclcpp::Node::SharedPtr node_ = std::make_shared<rclcpp::Node>("cross_process_test");
};

PeerProcess * CrossProcess::peer_ = nullptr;

// A small sample, and a cloud far larger than a datagram; the codec test covers each type.
TEST_F(CrossProcess, SmallAndLargeSamplesComeBackIntact)
{
  expect_echo("/probe/joint_state", codec_samples::joint_state());
  expect_echo("/probe/point_cloud", codec_samples::point_cloud(20000));
}

TEST_F(CrossProcess, EachServiceClientGetsTheReplyToItsOwnRequest)
{
  auto first = node_->create_client<ArmGrab>("/probe/arm_grab");
  auto second = node_->create_client<ArmGrab>("/probe/arm_grab");
  ASSERT_TRUE(first->wait_for_service(kHangTimeout));
  ASSERT_TRUE(second->wait_for_service(kHangTimeout));
  auto request = std::make_shared<ArmGrab::Request>(codec_samples::arm_grab_request());
  auto other = std::make_shared<ArmGrab::Request>(*request);
  other->cmd_type = 21;
  auto first_reply = first->async_send_request(request);
  auto second_reply = second->async_send_request(other);
  const auto first_response = get(first_reply);
  EXPECT_EQ(first_response->code, -6);
  EXPECT_EQ(first_response->message, "grab " + std::to_string(request->obb_size[2]));
  EXPECT_EQ(get(second_reply)->code, 42);
}

TEST_F(CrossProcess, ActionsReachEveryOutcome)
{
  auto client = rclcpp_action::create_client<FollowJointTrajectory>(node_,
      "/probe/follow_joint_trajectory");
  ASSERT_TRUE(client->wait_for_action_server(kHangTimeout));
  auto send = [&](const std::string & behaviour) {
      FollowJointTrajectory::Goal goal = codec_samples::trajectory_goal();
      goal.trajectory.joint_names[0] = behaviour;
      return get(client->async_send_goal(goal));
    };
  auto result_of = [&](auto handle) {return get(client->async_get_result(handle));};

  EXPECT_EQ(send("reject"), nullptr);
  const auto aborted = result_of(send("abort"));
  EXPECT_EQ(aborted.code, rclcpp_action::ResultCode::ABORTED);
  EXPECT_EQ(aborted.result->error_code, FollowJointTrajectory::Result::PATH_TOLERANCE_VIOLATED);
  const auto succeeded = result_of(send("succeed"));
  EXPECT_EQ(succeeded.code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(succeeded.result->error_string, "done");
  auto waiting = send("wait");
  ASSERT_NE(waiting, nullptr);
  EXPECT_EQ(get(client->async_cancel_goal(waiting))->return_code,
    action_msgs::srv::CancelGoal::Response::ERROR_NONE);
  EXPECT_EQ(result_of(waiting).code, rclcpp_action::ResultCode::CANCELED);
}

// A late joiner gets the transient-local description; best-effort joint states reach only
// best-effort subscriptions.
TEST_F(CrossProcess, DurabilityAndReliabilityAcrossProcesses)
{
  using sensor_msgs::msg::JointState;
  std::string latched;
  auto durable = node_->create_subscription<std_msgs::msg::String>("/robot_description",
      rclcpp::QoS(1).transient_local(),
      [&latched](std::shared_ptr<const std_msgs::msg::String> message) {latched = message->data;});
  std::atomic<int> best_effort{0};
  std::atomic<int> reliable{0};
  auto sensor = node_->create_subscription<JointState>("/joint_states", rclcpp::QoS(5).best_effort(),
      [&best_effort](std::shared_ptr<const JointState>) {++best_effort;});
  auto strict = node_->create_subscription<JointState>("/joint_states", rclcpp::QoS(5).reliable(),
      [&reliable](std::shared_ptr<const JointState>) {++reliable;});
  ASSERT_TRUE(spin_until(node_, [&] {return !latched.empty() && best_effort >= 10;}));
  EXPECT_EQ(latched, "<robot name=\"peer\"/>");
  EXPECT_EQ(reliable.load(), 0);
  EXPECT_EQ(strict->get_publisher_count(), 0u);
}

// A raw writer of another participant, as a faulty or hostile peer would be, sends a sample whose
// frame_id length runs far beyond it, then a good one.
TEST_F(CrossProcess, MalformedSampleIsDroppedWithAMessageAndLaterSamplesStillArrive)
{
  using sensor_msgs::msg::JointState;
  std::shared_ptr<const JointState> received;
  auto subscription = node_->create_subscription<JointState>("/garbage", 10,
      [&received](std::shared_ptr<const JointState> message) {received = message;});
  auto other = std::make_shared<rclcpp::dds::Participant>(
    static_cast<dds_domainid_t>(claim_dds_test_domain()));
  rclcpp::dds::SampleWriter writer(other, rclcpp::dds::EntitySettings{"rt/garbage",
      "sensor_msgs::msg::dds_::JointState_", rmw_qos_profile_default, ""});
  ASSERT_TRUE(spin_until(node_, [&] {return subscription->get_publisher_count() == 1;}));
  const JointState good = codec_samples::joint_state();
  auto forged = rclcpp::dds::encode(codec_samples::members<JointState>(), &good);
  forged[4 + 8] = 0xff;
  testing::internal::CaptureStderr();
  writer.write(forged);
  writer.write(rclcpp::dds::encode(codec_samples::members<JointState>(), &good));
  spin_until(node_, [&received] {return received != nullptr;});
  const std::string messages = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(received);
  EXPECT_EQ(*received, good);
  EXPECT_NE(messages.find("[WARN] [dds]: dropped a malformed sample on 'rt/garbage': string "
    "'frame_id' claims"), std::string::npos) << messages;
}

// Another participant learns from "ros_discovery_info" which node owns which endpoint, in the
// peer process and here, also as endpoints come and go. A client marks both its endpoints with
// one id in the dotted-hex form of ROS 2 nodes: the participant's GUID prefix and a number.
TEST_F(CrossProcess, DiscoveryInformationNamesEveryNodesEndpoints)
{
  GraphReader graph;
  const auto has = [](const std::multiset<std::string> & topics, const std::string & topic) {
      return topics.count(topic) == 1;
    };
  ASSERT_TRUE(wait_until([&] {
      const auto peer = graph.nodes()["/dds_test_peer"];
      return has(peer.readers, "rq/probe/arm_grabRequest") &&
      has(peer.writers, "rr/probe/arm_grabReply") && has(peer.writers, "rt/robot_description") &&
      has(peer.readers, "rq/probe/follow_joint_trajectory/_action/send_goalRequest") &&
      has(peer.writers, "rt/probe/follow_joint_trajectory/_action/status");
    }));

  auto node = std::make_shared<rclcpp::Node>("graph_probe", "/ns");
  auto publisher = node->create_publisher<std_msgs::msg::String>("chatter", 1);
  auto client = node->create_client<ArmGrab>("/probe/arm_grab");
  ASSERT_TRUE(wait_until([&] {
      const auto probe = graph.nodes()["/ns/graph_probe"];
      return has(probe.writers, "rt/ns/chatter") && has(probe.writers, "rq/probe/arm_grabRequest") &&
      has(probe.readers, "rr/probe/arm_grabReply");
    }));
  publisher.reset();
  ASSERT_TRUE(wait_until([&] {
      const auto probe = graph.nodes()["/ns/graph_probe"];
      return !has(probe.writers, "rt/ns/chatter") && has(probe.writers, "rq/probe/arm_grabRequest");
    }));
  EXPECT_TRUE(graph.decode_errors().empty());

  // This process's participant is the one that announces the probe node.
  dds_guid_t here{};
  for (const auto & [gid, info] : graph.announcements()) {
    for (const auto & announced : info.node_entities_info_seq) {
      if (announced.node_name == "graph_probe") {
        std::memcpy(here.v, info.gid.data.data(), sizeof(here.v));
      }
    }
  }
  std::string request_writer;
  std::string reply_reader;
  bool announcer_found = false;
  const auto from_here = [&here](const GraphReader::DdsEndpoint & endpoint) {
      return std::memcmp(endpoint.participant.v, here.v, sizeof(here.v)) == 0;
    };
  graph.each_endpoint(true, [&](const std::string &, const GraphReader::DdsEndpoint & endpoint) {
      if (from_here(endpoint) && endpoint.topic == "rq/probe/arm_grabRequest") {
        request_writer = endpoint.user_data;
      }
      if (from_here(endpoint) && endpoint.topic == "ros_discovery_info") {
        announcer_found = true;
        dds_history_kind_t history{};
        int32_t depth = 0;
        dds_durability_kind_t durability{};
        dds_reliability_kind_t reliability{};
        dds_duration_t blocking = 0;
        ASSERT_TRUE(dds_qget_history(endpoint.qos, &history, &depth));
        ASSERT_TRUE(dds_qget_durability(endpoint.qos, &durability));
        ASSERT_TRUE(dds_qget_reliability(endpoint.qos, &reliability, &blocking));
        EXPECT_EQ(history, DDS_HISTORY_KEEP_LAST);
        EXPECT_EQ(depth, 1);
        EXPECT_EQ(durability, DDS_DURABILITY_TRANSIENT_LOCAL);
        EXPECT_EQ(reliability, DDS_RELIABILITY_RELIABLE);
      }
    });
  graph.each_endpoint(false, [&](const std::string &, const GraphReader::DdsEndpoint & endpoint) {
      if (from_here(endpoint) && endpoint.topic == "rr/probe/arm_grabReply") {
        reply_reader = endpoint.user_data;
      }
    });
  EXPECT_TRUE(announcer_found);
  EXPECT_EQ(request_writer, reply_reader);
  // The number counts the clients and services made here so far.
  bool numbered = false;
  for (uint32_t number = 1; number < 1000 && !numbered; ++number) {
    numbered = request_writer == "clientid=" + rclcpp::dds::client_service_id(here, number) + ";";
  }
  EXPECT_TRUE(numbered) << request_writer;
  const dds_guid_t small_bytes{{0x0a, 0x00, 0xff, 0x10}};
  EXPECT_EQ(rclcpp::dds::client_service_id(small_bytes, 0x0102a0ff),
    " a.0.ff.10.0.0.0.0.0.0.0.0.1.2.a0.ff");
}

}  // namespace
