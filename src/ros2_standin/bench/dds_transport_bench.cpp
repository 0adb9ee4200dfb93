// Delivery costs between two processes over DDS on loopback: a 300,000-point PointCloud2 sent to
// the peer process (latency to its acknowledgement, and a 30 Hz stream counted for loss), and a
// service round trip; and the codec's share of the cloud's latency. Run from the repository root
// with CYCLONEDDS_URI pointing at the loopback configuration.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dds_transport/cdr_codec.hpp"
#include "peer_process.hpp"
#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "std_msgs/msg/header.hpp"
#include "vantrel_interfaces/srv/arm_grab.hpp"

namespace
{

using namespace std::chrono_literals;
using sensor_msgs::msg::PointCloud2;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kPoints = 300000;
constexpr uint32_t kPointStep = 32;

PointCloud2 make_cloud()
{
  PointCloud2 cloud;
  cloud.header.frame_id = "camera_depth_optical_frame";
  cloud.height = 1;
  cloud.width = kPoints;
  cloud.point_step = kPointStep;
  cloud.row_step = kPoints * kPointStep;
  cloud.data.assign(static_cast<size_t>(kPoints) * kPointStep, 1);
  return cloud;
}

// This process's DDS node and the echoing peer, for the whole run.
struct Session
{
  Session()
  {
    rclcpp::InitOptions options;
    options.transport = rclcpp::TransportKind::Dds;
    options.shutdown_on_signal = false;
    rclcpp::init(0, nullptr, options);
    node = std::make_shared<rclcpp::Node>("dds_transport_bench");
    peer = std::make_unique<PeerProcess>(RAO_DDS_TEST_PEER);
  }
  ~Session()
  {
    peer.reset();
    node.reset();
    rclcpp::shutdown();
  }

  template<typename ConditionT>
  bool spin_until(ConditionT condition, std::chrono::milliseconds timeout = 10s)
  {
    const auto deadline = Clock::now() + timeout;
    while (!condition() && Clock::now() < deadline) {
      rclcpp::spin_some(node);
    }
    return condition();
  }

  rclcpp::Node::SharedPtr node;
  std::unique_ptr<PeerProcess> peer;
};

Session & session()
{
  static Session instance;
  return instance;
}

// Clouds to the peer, which acknowledges each with its header; ready once one ack came back.
struct CloudSink
{
  CloudSink()
  {
    auto & s = session();
    publisher = s.node->create_publisher<PointCloud2>("/probe/point_cloud_sink", 10);
    acks = s.node->create_subscription<std_msgs::msg::Header>("/probe/point_cloud_sink/ack", 100,
        [this](std::shared_ptr<const std_msgs::msg::Header> header) {
          ++received;
          last = header->stamp.sec;
        });
    while (received == 0) {
      publisher->publish(make_cloud());
      s.spin_until([this] {return received > 0;}, 500ms);
    }
    s.spin_until([] {return false;}, 300ms);
    received = 0;
  }
  rclcpp::Publisher<PointCloud2>::SharedPtr publisher;
  rclcpp::Subscription<std_msgs::msg::Header>::SharedPtr acks;
  int received = 0;
  int last = -1;
};

// From publishing a cloud to the peer's acknowledgement of it.
void BM_PointCloudLatency(benchmark::State & state)
{
  CloudSink sink;
  PointCloud2 cloud = make_cloud();
  int sent = 0;
  for (auto _ : state) {
    cloud.header.stamp.sec = ++sent;
    sink.publisher->publish(cloud);
    if (!session().spin_until([&] {return sink.last == sent;})) {
      state.SkipWithError("cloud lost");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(cloud.data.size()));
}
BENCHMARK(BM_PointCloudLatency)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// A 30 Hz stream for ten seconds: how many clouds the peer got.
void BM_PointCloudStreamAt30Hz(benchmark::State & state)
{
  CloudSink sink;
  PointCloud2 cloud = make_cloud();
  constexpr int kClouds = 300;
  for (auto _ : state) {
    sink.received = 0;
    auto next = Clock::now();
    for (int i = 1; i <= kClouds; ++i) {
      cloud.header.stamp.sec = i;
      sink.publisher->publish(cloud);
      next += std::chrono::microseconds(33333);
      session().spin_until([&] {return Clock::now() >= next;}, 1s);
    }
    session().spin_until([&] {return sink.received == kClouds;}, 5s);
    state.counters["sent"] = kClouds;
    state.counters["received"] = sink.received;
  }
}
BENCHMARK(BM_PointCloudStreamAt30Hz)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The codec's share of a cloud's latency: encoding on the publishing side, decoding on the
// receiving one.
void BM_PointCloudEncode(benchmark::State & state)
{
  const PointCloud2 cloud = make_cloud();
  const auto & members = *rclcpp::transport::introspection_of<PointCloud2>().message;
  for (auto _ : state) {
    benchmark::DoNotOptimize(rclcpp::dds::encode(members, &cloud));
  }
}
BENCHMARK(BM_PointCloudEncode)->Unit(benchmark::kMillisecond);

void BM_PointCloudDecode(benchmark::State & state)
{
  const PointCloud2 cloud = make_cloud();
  const auto & members = *rclcpp::transport::introspection_of<PointCloud2>().message;
  const auto bytes = rclcpp::dds::encode(members, &cloud);
  std::string error;
  for (auto _ : state) {
    benchmark::DoNotOptimize(rclcpp::dds::decode(members, bytes.data(), bytes.size(), nullptr,
      error));
  }
}
BENCHMARK(BM_PointCloudDecode)->Unit(benchmark::kMillisecond);

void BM_ServiceRoundTrip(benchmark::State & state)
{
  using ArmGrab = vantrel_interfaces::srv::ArmGrab;
  auto client = session().node->create_client<ArmGrab>("/probe/arm_grab");
  if (!client->wait_for_service(10s)) {
    state.SkipWithError("no service");
    return;
  }
  auto request = std::make_shared<ArmGrab::Request>();
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = Clock::now();
    auto future = client->async_send_request(request);
    session().spin_until([&] {return future.wait_for(0s) == std::future_status::ready;});
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}
BENCHMARK(BM_ServiceRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(2.0);

}  // namespace
