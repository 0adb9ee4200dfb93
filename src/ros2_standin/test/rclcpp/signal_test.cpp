// SIGINT and SIGTERM shut the default context down: in a child process that runs the node's
// loop (an executor spun on a thread, spin_some at a wall rate on the main thread), the signal
// ends both and the child exits normally.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"

namespace
{

using namespace std::chrono_literals;

// Runs in the child; returns the exit status.
int run_node_loop(int ready_fd)
{
  rclcpp::init(0, nullptr);
  auto served_by_loop = std::make_shared<rclcpp::Node>("node1");
  auto served_by_thread = std::make_shared<rclcpp::Node>("node2");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(served_by_thread);
  auto timer = served_by_loop->create_wall_timer(1s, [] {});
  std::thread spin_thread([&executor] {executor.spin();});
  rclcpp::WallRate rate(500.0);
  bool first_pass = true;
  while (rclcpp::ok()) {
    rclcpp::spin_some(served_by_loop);
    rate.sleep();
    if (first_pass) {
      const char byte = 'r';
      if (write(ready_fd, &byte, 1) != 1) {
        return 3;
      }
      first_pass = false;
    }
  }
  spin_thread.join();
  rclcpp::shutdown();
  return 0;
}

// Forks the loop, sends the signal once it runs, and returns the child's wait status.
int signal_child(int signal_number)
{
  int fds[2];
  if (pipe(fds) != 0) {
    return -1;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    _exit(run_node_loop(fds[1]));
  }
  close(fds[1]);
  char byte = 0;
  const bool ready = read(fds[0], &byte, 1) == 1;
  close(fds[0]);
  if (ready) {
    kill(child, signal_number);
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      ADD_FAILURE() << "the child did not stop";
      return -1;
    }
    std::this_thread::sleep_for(5ms);
  }
  return ready ? status : -1;
}

TEST(SignalShutdown, SigintAndSigtermEndSpinAndLoop)
{
  for (const int signal_number : {SIGINT, SIGTERM}) {
    const int status = signal_child(signal_number);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal_number << ", status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}

TEST(SignalShutdown, HandlersComeAndGoWithTheDefaultContext)
{
  rclcpp::init(0, nullptr);
  EXPECT_TRUE(rclcpp::signal_handlers_installed());
  EXPECT_TRUE(rclcpp::shutdown());
  EXPECT_FALSE(rclcpp::signal_handlers_installed());
  EXPECT_FALSE(rclcpp::shutdown()) << "shutting down twice reports false";
}

}  // namespace
