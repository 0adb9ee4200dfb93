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

// A deadlock leaves nothing to join: report it and end the process.
void finishes_within(std::chrono::seconds limit, const std::function<void()> & work)
{
  auto done = std::async(std::launch::async, work).share();
  if (done.wait_for(limit) != std::future_status::ready) {
    std::fprintf(stderr, "deadlocked\n");
    std::abort();
  }
  done.get();
}

struct MessageCall : MessageSink
{
  std::function<void(std::shared_ptr<const void>)> call;
  void deliver(std::shared_ptr<const void> message) override {call(std::move(message));}
};

struct Recorder : MessageSink
{
  std::vector<int> values;
  void deliver(std::shared_ptr<const void> message) override
  {
    values.push_back(*std::static_pointer_cast<const int>(message));
  }
};

TEST(InProcessTransport, SinksMayPublishAndAnswerFromWithinADelivery)
{
  Transport & transport = default_transport();
  finishes_within(10s, [&transport] {
      // A relay from "in" to "out" that also sends the first message round "in" once more, and
      // a late transient-local joiner relaying the kept history: order stays per sink.
      Recorder out_recorder;
      auto out_sub = transport.add_subscription(endpoint(EndpointKind::Subscription, "/out"),
      out_recorder);
      auto out = transport.add_publisher(endpoint(EndpointKind::Publisher, "/out"));
      auto in = transport.add_publisher(endpoint(EndpointKind::Publisher, "/in", true));
      MessageCall relay;
      relay.call = [&](std::shared_ptr<const void> message) {
          const int value = *std::static_pointer_cast<const int>(message);
          out->publish(message);
          if (value == 1) {
            in->publish(std::make_shared<const int>(2));
          }
        };
      in->publish(std::make_shared<const int>(0));
      auto in_sub = transport.add_subscription(endpoint(EndpointKind::Subscription, "/in", true),
      relay);
      in->publish(std::make_shared<const int>(1));
      in->publish(std::make_shared<const int>(3));
      EXPECT_EQ(out_recorder.values, (std::vector<int>{0, 1, 2, 3}));

      // A server that answers within the request's delivery.
      struct Server : RequestSink
      {
        ServiceLink * link = nullptr;
        void deliver_request(const rmw_request_id_t & id, std::shared_ptr<void> request) override
        {
          link->send_response(id, std::move(request));
        }
      } server;
      struct Client : ResponseSink
      {
        std::vector<int64_t> answered;
        void deliver_response(int64_t sequence_number, std::shared_ptr<void>) override
        {
          answered.push_back(sequence_number);
        }
      } client;
      auto service = transport.add_service(endpoint(EndpointKind::Server, "/answer"), server);
      server.link = service.get();
      auto requester = transport.add_client(endpoint(EndpointKind::Client, "/answer"), client);
      const int64_t first = requester->send_request(std::make_shared<int>(0));
      const int64_t second = requester->send_request(std::make_shared<int>(0));
      EXPECT_EQ(client.answered, (std::vector<int64_t>{first, second}));
    });
}

TEST(InProcessTransport, DestroyingALinkWaitsForADeliveryOnAnotherThread)
{
  Transport & transport = default_transport();
  auto publisher = transport.add_publisher(endpoint(EndpointKind::Publisher, "/slow"));
  std::atomic<bool> inside{false};
  std::atomic<bool> release{false};
  auto sink = std::make_unique<MessageCall>();
  sink->call = [&](std::shared_ptr<const void>) {
      inside = true;
      while (!release) {
        std::this_thread::sleep_for(1ms);
      }
      inside = false;
    };
  auto link = transport.add_subscription(endpoint(EndpointKind::Subscription, "/slow"), *sink);
  std::thread publishing([&] {publisher->publish(std::make_shared<const int>(0));});
  while (!inside) {
    std::this_thread::sleep_for(1ms);
  }
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
