// Executors: callbacks run only on the spinning thread, spin_some never waits, spin ends with
// the context, timers run on the steady clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/bool.hpp"

#include "../support/ros_test_support.hpp"

namespace
{

using namespace std::chrono_literals;
using std_msgs::msg::Bool;

class Executors : public RosTest
{
protected:
  std::shared_ptr<rclcpp::Node> node_ = std::make_shared<rclcpp::Node>("executor_node");
};

TEST_F(Executors, SpinSomeRunsWhatIsReadyOnceAndNeverWaits)
{
  auto timer = node_->create_wall_timer(60s, [] {ADD_FAILURE() << "not due";});
  int calls = 0;
  rclcpp::Publisher<Bool>::SharedPtr publisher = node_->create_publisher<Bool>("ready", 10);
  // Each callback publishes again: that message is new work for the next spin_some.
  auto subscription = node_->create_subscription<Bool>("ready", 10,
      [&](const Bool &) {
        ++calls;
        publisher->publish(Bool());
      });
  publisher->publish(Bool());
  publisher->publish(Bool());
  rclcpp::spin_some(node_);
  EXPECT_EQ(calls, 1) << "one message per subscription and pass";
  rclcpp::spin_some(node_);
  EXPECT_EQ(calls, 2);

  subscription.reset();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 100; ++i) {
    rclcpp::spin_some(node_);
  }
  // A pass that waited for the timer would take a minute; a busy machine takes milliseconds.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s) << "nothing was ready";
}

// A node is served by one executor at a time; the spin ends with the context.
TEST_F(Executors, CallbacksRunOnlyOnTheSpinningThreadUntilShutdown)
{
  std::mutex mutex;
  std::set<std::thread::id> callback_threads;
  std::atomic<int> messages{0};
  std::atomic<int> ticks{0};
  auto record = [&](std::atomic<int> & count) {
      std::lock_guard<std::mutex> lock(mutex);
      callback_threads.insert(std::this_thread::get_id());
      ++count;
    };
  auto subscription = node_->create_subscription<Bool>("from_anywhere", rclcpp::QoS(rclcpp::KeepAll()),
      [&](Bool::ConstSharedPtr) {record(messages);});
  auto timer = node_->create_wall_timer(5ms, [&] {record(ticks);});
  auto publisher = node_->create_publisher<Bool>("from_anywhere", 10);

  rclcpp::executors::SingleThreadedExecutor other;
  other.add_node(node_);
  rclcpp::executors::SingleThreadedExecutor executor;
  EXPECT_THROW(executor.add_node(node_), std::runtime_error);
  other.remove_node(node_);
  executor.add_node(node_);
  std::thread spinner([&executor] {executor.spin();});
  const std::set<std::thread::id> only_the_spinner{spinner.get_id()};
  std::vector<std::thread> publishers;
  for (int t = 0; t < 4; ++t) {
    publishers.emplace_back([&publisher] {
        for (int i = 0; i < 50; ++i) {
          publisher->publish(Bool());
        }
      });
  }
  for (auto & thread : publishers) {
    thread.join();
  }
  wait_until([&] {return messages == 200 && ticks >= 3;});
  rclcpp::shutdown();
  spinner.join();
  rclcpp::init(0, nullptr);
  EXPECT_EQ(messages.load(), 200);
  EXPECT_GE(ticks.load(), 3);
  EXPECT_EQ(callback_threads, only_the_spinner);
}

TEST_F(Executors, WallTimerKeepsItsPeriodAndSkipsCallsMissedWhileBusy)
{
  std::vector<std::chrono::steady_clock::time_point> calls;
  const auto start = std::chrono::steady_clock::now();
  auto timer = node_->create_wall_timer(20ms, [&] {
        calls.push_back(std::chrono::steady_clock::now());
      });
  spin_until(node_, [&] {return calls.size() >= 3;});
  ASSERT_GE(calls.size(), 3u);
  EXPECT_GE(calls[0] - start, 20ms);
  EXPECT_GE(calls[2] - start, 60ms);

  calls.clear();
  std::this_thread::sleep_for(110ms);
  const auto before = std::chrono::steady_clock::now();
  rclcpp::spin_some(node_);
  const auto after = std::chrono::steady_clock::now();
  EXPECT_EQ(calls.size(), 1u);
  // The missed periods made that one call: the next is due after it, not in the past. The time it is
  // due lies between the two clock readings around the question plus the answer.
  const auto asked = std::chrono::steady_clock::now();
  const auto until_next = timer->time_until_trigger();
  const auto answered = std::chrono::steady_clock::now();
  EXPECT_GT(answered + until_next, before);
  EXPECT_LE(asked + until_next, after + 20ms);
}

}  // namespace
