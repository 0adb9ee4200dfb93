#pragma once

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "dds_test_domain.hpp"
#include "rclcpp/rclcpp.hpp"
#include "ros_test_support.hpp"

// The test's side of the graph over DDS, in a domain of its own that the programs started here inherit: a node in a
// context of its own (its transport is DDS whatever an earlier test made the global context's), spun on the test's
// thread while it waits.
class GraphProbe {
 public:
  GraphProbe() {
    claim_dds_test_domain();
    rclcpp::InitOptions options;
    options.transport = rclcpp::TransportKind::Dds;
    options.shutdown_on_signal = false;
    context_->init(0, nullptr, options);
    node_ = std::make_shared<rclcpp::Node>("graph_probe", rclcpp::NodeOptions().context(context_));
    rclcpp::ExecutorOptions executor_options;
    executor_options.context = context_;
    executor_ = std::make_unique<rclcpp::executors::SingleThreadedExecutor>(executor_options);
    executor_->add_node(node_);
  }
  ~GraphProbe() { context_->shutdown("test over"); }
  GraphProbe(const GraphProbe&) = delete;
  GraphProbe& operator=(const GraphProbe&) = delete;

  const rclcpp::Node::SharedPtr& node() const { return node_; }
  rclcpp::executors::SingleThreadedExecutor& executor() { return *executor_; }

  template <typename ConditionT>
  bool spinUntil(ConditionT condition) {
    return wait_until([&] {
      executor_->spin_some();
      return condition();
    });
  }

  // The answer of the service `name`; a failed expectation, and an empty answer, when none comes.
  template <typename ServiceT>
  typename ServiceT::Response call(const std::string& name, const typename ServiceT::Request& request) {
    auto client = node_->create_client<ServiceT>(name);
    EXPECT_TRUE(client->wait_for_service(kHangTimeout)) << name;
    auto future = client->async_send_request(std::make_shared<typename ServiceT::Request>(request));
    const auto answered = [&future] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
    if (!spinUntil(answered)) {
      ADD_FAILURE() << name << " did not answer";
      return typename ServiceT::Response();
    }
    return *future.get();
  }

 private:
  const rclcpp::Context::SharedPtr context_ = std::make_shared<rclcpp::Context>();
  rclcpp::Node::SharedPtr node_;
  std::unique_ptr<rclcpp::executors::SingleThreadedExecutor> executor_;
};
