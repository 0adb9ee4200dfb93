// In-process delivery costs: a 300,000-point PointCloud2 from publish to the subscription
// callback on another spinning thread (handed over as published, and copied from a const
// reference), and a service round trip between two spinning nodes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "vantrel_interfaces/srv/arm_move_joints.hpp"

namespace
{

using sensor_msgs::msg::PointCloud2;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kPoints = 300000;
constexpr uint32_t kPointStep = 16;

void init_in_process()
{
  rclcpp::InitOptions options;
  options.transport = rclcpp::TransportKind::InProcess;
  rclcpp::init(0, nullptr, options);
}

std::unique_ptr<PointCloud2> make_cloud()
{
  auto cloud = std::make_unique<PointCloud2>();
  cloud->height = 1;
  cloud->width = kPoints;
  cloud->point_step = kPointStep;
  cloud->row_step = kPoints * kPointStep;
  cloud->data.assign(static_cast<size_t>(kPoints) * kPointStep, 1);
  return cloud;
}

// A node spun on its own thread for the life of the object.
class SpinningNode
{
public:
  explicit SpinningNode(const char * name)
  : node(std::make_shared<rclcpp::Node>(name))
  {
    executor_.add_node(node);
    thread_ = std::thread([this] {
        executor_.spin();
        done_ = true;
      });
  }
  // A cancel that lands before spin() starts is lost, so it is repeated.
  ~SpinningNode()
  {
    while (!done_) {
      executor_.cancel();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    thread_.join();
  }

  rclcpp::Node::SharedPtr node;

private:
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

template<bool kByReference>
void BM_PointCloudPublishToCallback(benchmark::State & state)
{
  init_in_process();
  {
    SpinningNode receiver("receiver");
    std::atomic<Clock::time_point::rep> delivered_at{0};
    std::atomic<int64_t> delivered{0};
    auto subscription = receiver.node->create_subscription<PointCloud2>("/obstacle_pointcloud",
        10, [&](PointCloud2::ConstSharedPtr cloud) {
          benchmark::DoNotOptimize(cloud->data.data());
          delivered_at = Clock::now().time_since_epoch().count();
          ++delivered;
        });
    auto sender = std::make_shared<rclcpp::Node>("sender");
    auto publisher = sender->create_publisher<PointCloud2>("/obstacle_pointcloud", 10);
    const auto reusable = make_cloud();
    for (auto _ : state) {
      auto cloud = kByReference ? nullptr : make_cloud();
      const int64_t before = delivered.load();
      const auto start = Clock::now();
      if (kByReference) {
        publisher->publish(*reusable);
      } else {
        publisher->publish(std::move(cloud));
      }
      while (delivered.load() == before) {
      }
      const auto end = Clock::time_point(Clock::duration(delivered_at.load()));
      state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kPoints) * kPointStep);
  }
  rclcpp::shutdown();
}
BENCHMARK_TEMPLATE(BM_PointCloudPublishToCallback, false)
->Name("PointCloud2_300k/publish_unique_ptr")->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_PointCloudPublishToCallback, true)
->Name("PointCloud2_300k/publish_const_ref")->UseManualTime()->Unit(benchmark::kMicrosecond);

// The delivery path alone: publish, then run the callback on the same thread.
void BM_PointCloudSameThread(benchmark::State & state)
{
  init_in_process();
  {
    auto node = std::make_shared<rclcpp::Node>("node2");
    rclcpp::executors::SingleThreadedExecutor executor;
    executor.add_node(node);
    int64_t delivered = 0;
    auto subscription = node->create_subscription<PointCloud2>("/obstacle_pointcloud", 10,
        [&delivered](PointCloud2::ConstSharedPtr cloud) {
          benchmark::DoNotOptimize(cloud->data.data());
          ++delivered;
        });
    auto publisher = node->create_publisher<PointCloud2>("/obstacle_pointcloud", 10);
    for (auto _ : state) {
      state.PauseTiming();
      auto cloud = make_cloud();
      state.ResumeTiming();
      publisher->publish(std::move(cloud));
      executor.spin_some();
    }
    if (delivered != static_cast<int64_t>(state.iterations())) {
      state.SkipWithError("a cloud was not delivered");
    }
  }
  rclcpp::shutdown();
}
BENCHMARK(BM_PointCloudSameThread)->Name("PointCloud2_300k/publish_and_spin_some_same_thread")
->Unit(benchmark::kMicrosecond);

void BM_ServiceRoundTrip(benchmark::State & state)
{
  using ArmMoveJoints = vantrel_interfaces::srv::ArmMoveJoints;
  init_in_process();
  {
    SpinningNode server("server");
    SpinningNode caller("caller");
    auto service = server.node->create_service<ArmMoveJoints>("/arm_move_joints",
        [](std::shared_ptr<ArmMoveJoints::Request> request,
        std::shared_ptr<ArmMoveJoints::Response> response) {
          response->code = request->cmd_type;
          response->message = "success";
        });
    auto client = caller.node->create_client<ArmMoveJoints>("/arm_move_joints");
    client->wait_for_service(std::chrono::seconds(1));
    auto request = std::make_shared<ArmMoveJoints::Request>();
    request->joints.data.assign(6, 0.5);
    for (auto _ : state) {
      auto result = client->async_send_request(request);
      benchmark::DoNotOptimize(result.get()->code);
    }
  }
  rclcpp::shutdown();
}
BENCHMARK(BM_ServiceRoundTrip)->Name("Service/round_trip")->Unit(benchmark::kMicrosecond);

}  // namespace
