// The in-process transport behind the seam: sinks are called outside its lock, so a sink may
// publish or answer from within a delivery, and a link's destruction waits for a delivery that
// another thread is making into its sink.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "rclcpp/transport/transport.hpp"
#include "rmw/qos_profiles.h"

#include "../support/ros_test_support.hpp"

namespace
{

using namespace std::chrono_literals;
using namespace rclcpp::transport;

Endpoint endpoint(EndpointKind kind, const std::string & name, bool transient_local = false)
{
  rmw_qos_profile_t qos = rmw_qos_profile_default;
  if (transient_local) {
    qos.durability = RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL;
  }
  return Endpoint{kind, "transport_test", "/", name, "std_msgs/msg/String", qos};
}

struct Sink : MessageSink, RequestSink, ResponseSink
{
  std::function<void(int)> on_message = [](int) {};
  ServiceLink * service = nullptr;  // answers each request at once
  std::vector<int64_t> answered;

  void deliver(std::shared_ptr<const void> message) override
  {
    on_message(*std::static_pointer_cast<const int>(message));
  }
  void deliver_request(const rmw_request_id_t & id, std::shared_ptr<void> request) override
  {
    service->send_response(id, std::move(request));
  }
  void deliver_response(int64_t sequence_number, std::shared_ptr<void>) override
  {
    answered.push_back(sequence_number);
  }
};

TEST(InProcessTransport, SinksMayPublishAndAnswerFromWithinADelivery)
{
  Transport & transport = default_transport();
  auto work = std::async(std::launch::async, [&transport] {
      // A late transient-local joiner that relays "in" to "out", sending 2 round "in" on
      // seeing 1: each sink still gets its messages in order, the kept history first.
      Sink out;
      std::vector<int> relayed;
      out.on_message = [&relayed](int value) {relayed.push_back(value);};
      auto out_sub = transport.add_subscription(endpoint(EndpointKind::Subscription, "/out"), out);
      auto out_pub = transport.add_publisher(endpoint(EndpointKind::Publisher, "/out"));
      auto in_pub = transport.add_publisher(endpoint(EndpointKind::Publisher, "/in", true));
      Sink relay;
      relay.on_message = [&](int value) {
          out_pub->publish(std::make_shared<const int>(value));
          if (value == 1) {
            in_pub->publish(std::make_shared<const int>(2));
          }
        };
      in_pub->publish(std::make_shared<const int>(0));
      auto in_sub =
        transport.add_subscription(endpoint(EndpointKind::Subscription, "/in", true), relay);
      in_pub->publish(std::make_shared<const int>(1));
      in_pub->publish(std::make_shared<const int>(3));
      EXPECT_EQ(relayed, (std::vector<int>{0, 1, 2, 3}));

      Sink server;
      auto service = transport.add_service(endpoint(EndpointKind::Server, "/answer"), server);
      server.service = service.get();
      Sink client;
      auto requester = transport.add_client(endpoint(EndpointKind::Client, "/answer"), client);
      const int64_t first = requester->send_request(std::make_shared<int>(0));
      const int64_t second = requester->send_request(std::make_shared<int>(0));
      EXPECT_EQ(client.answered, (std::vector<int64_t>{first, second}));
    });
  if (work.wait_for(kHangTimeout) != std::future_status::ready) {
    std::fprintf(stderr, "deadlocked\n");  // nothing left to join
    std::abort();
  }
}

TEST(InProcessTransport, DestroyingALinkWaitsForADeliveryOnAnotherThread)
{
  Transport & transport = default_transport();
  auto publisher = transport.add_publisher(endpoint(EndpointKind::Publisher, "/slow"));
  std::atomic<bool> inside{false};
  std::atomic<bool> release{false};
  auto sink = std::make_unique<Sink>();
  sink->on_message = [&](int) {
      inside = true;
      wait_until([&release] {return release.load();});
      inside = false;
    };
  auto link = transport.add_subscription(endpoint(EndpointKind::Subscription, "/slow"), *sink);
  std::thread publishing([&] {publisher->publish(std::make_shared<const int>(0));});
  EXPECT_TRUE(wait_until([&inside] {return inside.load();}));
  std::atomic<bool> destroyed{false};
  std::thread destroying([&] {
      link.reset();
      destroyed = true;
    });
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(destroyed.load()) << "the sink is still in use";
  release = true;
  destroying.join();
  EXPECT_FALSE(inside.load());
  sink.reset();
  publishing.join();
}

}  // namespace
