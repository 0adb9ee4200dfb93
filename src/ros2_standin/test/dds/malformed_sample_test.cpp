// A malformed sample from the network is dropped with a message, and the subscription keeps
// receiving the well-formed samples that follow.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "codec_samples.hpp"
#include "dds_transport/cdr_codec.hpp"
#include "dds_transport/dds_entities.hpp"
#include "dds_transport/dds_names.hpp"
#include "rclcpp/rclcpp.hpp"

namespace
{

using namespace std::chrono_literals;
using sensor_msgs::msg::JointState;

TEST(DdsMalformedSample, IsDroppedWithAMessageAndLaterSamplesStillArrive)
{
  rclcpp::InitOptions options;
  options.transport = rclcpp::TransportKind::Dds;
  options.shutdown_on_signal = false;
  rclcpp::init(0, nullptr, options);
  auto node = std::make_shared<rclcpp::Node>("malformed_sample_test");
  std::shared_ptr<const JointState> received;
  auto subscription = node->create_subscription<JointState>("/garbage", 10,
      [&received](std::shared_ptr<const JointState> message) {received = message;});

  // A raw writer of another participant, as a faulty or hostile peer would be.
  const char * domain = std::getenv("ROS_DOMAIN_ID");
  auto peer = std::make_shared<rclcpp::dds::Participant>(
    static_cast<dds_domainid_t>(domain ? std::stoul(domain) : 0));
  rclcpp::dds::SampleWriter writer(peer, rclcpp::dds::EntitySettings{"rt/garbage",
      "sensor_msgs::msg::dds_::JointState_", rmw_qos_profile_default, ""});
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (subscription->get_publisher_count() == 0 &&
    std::chrono::steady_clock::now() < deadline)
  {
    std::this_thread::sleep_for(1ms);
  }

  const JointState good = codec_samples::joint_state();
  auto forged = rclcpp::dds::encode(codec_samples::members<JointState>(), &good);
  forged[4 + 8] = 0xff;  // frame_id's length, now far beyond the sample
  testing::internal::CaptureStderr();
  writer.write(forged);
  writer.write(rclcpp::dds::encode(codec_samples::members<JointState>(), &good));
  while (!received && std::chrono::steady_clock::now() < deadline) {
    rclcpp::spin_some(node);
    std::this_thread::sleep_for(1ms);
  }
  const std::string messages = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(received);
  EXPECT_EQ(*received, good);
  EXPECT_NE(messages.find("[WARN] [dds]: dropped a malformed sample on 'rt/garbage': string "
    "'frame_id' claims"), std::string::npos) << messages;
  rclcpp::shutdown();
}

}  // namespace
