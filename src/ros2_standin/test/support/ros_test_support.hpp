// Helpers shared by the stand-in's tests: a fixture that brackets each test with init and
// shutdown, and waiting, or spinning a node, until a condition holds.
#ifndef ROS2_STANDIN_TEST_SUPPORT_ROS_TEST_SUPPORT_HPP_
#define ROS2_STANDIN_TEST_SUPPORT_ROS_TEST_SUPPORT_HPP_

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"

class RosTest : public ::testing::Test
{
protected:
  void SetUp() override {rclcpp::init(0, nullptr);}
  void TearDown() override {rclcpp::shutdown();}
};

// How long a wait for something bound to happen may last before it counts as a hang: far beyond what
// a slow, busy machine needs, and below the per-test time limit, so that the failing wait is named.
constexpr std::chrono::milliseconds kHangTimeout{60000};

// Polls, as a command handler waits, until the condition holds or the time-out passes.
template<typename ConditionT>
bool wait_until(ConditionT condition, std::chrono::milliseconds timeout = kHangTimeout)
{
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

// Spins the node on the calling thread until the condition holds or the time-out passes.
template<typename ConditionT>
bool spin_until(
  const rclcpp::Node::SharedPtr & node, ConditionT condition,
  std::chrono::milliseconds timeout = kHangTimeout)
{
  return wait_until([&] {
             rclcpp::spin_some(node);
             return condition();
           }, timeout);
}

// Spins an executor on its own thread for the life of the object.
class SpinThread
{
public:
  explicit SpinThread(rclcpp::Executor & executor)
  : executor_(executor), thread_([this] {
        executor_.spin();
        done_ = true;
      }) {}
  // A cancel that lands before spin() starts is lost, so it is repeated until spin() returned.
  ~SpinThread()
  {
    while (!done_) {
      executor_.cancel();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    thread_.join();
  }
  SpinThread(const SpinThread &) = delete;
  SpinThread & operator=(const SpinThread &) = delete;

  std::thread::id id() const {return thread_.get_id();}

private:
  rclcpp::Executor & executor_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

#endif  // ROS2_STANDIN_TEST_SUPPORT_ROS_TEST_SUPPORT_HPP_
