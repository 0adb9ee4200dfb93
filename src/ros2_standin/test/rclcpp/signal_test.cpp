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

// Runs in the child; returns the exit status. A child that does not stop is ended by an alarm.
int run_node_loop(int ready_fd)
{
  alarm(60);
  rclcpp::init(0, nullptr);
  auto served_by_loop = std::make_shared<rclcpp::Node>("node1");
  auto served_by_thread = std::make_shared<rclcpp::Node>("node2");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(served_by_thread);
  auto timer = served_by_loop->create_wall_timer(1s, [] {});
  std::thread spin_thread([&executor] {executor.spin();});
  rclcpp::WallRate rate(500.0);
  const char ready = 'r';
  if (write(ready_fd, &ready, 1) != 1) {
    return 3;
  }
  while (rclcpp::ok()) {
    rclcpp::spin_some(served_by_loop);
    rate.sleep();
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
  if (read(fds[0], &byte, 1) == 1) {
    std::this_thread::sleep_for(20ms);  // into the loop
    kill(child, signal_number);
  }
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

TEST(SignalShutdown, SigintAndSigtermEndSpinAndLoop)
{
  for (const int signal_number : {SIGINT, SIGTERM}) {
    const int status = signal_child(signal_number);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal_number << ", status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}

}  // namespace
