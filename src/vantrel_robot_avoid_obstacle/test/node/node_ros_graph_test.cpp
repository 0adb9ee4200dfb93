// The program on a ROS graph, seen from another process over DDS: its command line's ROS arguments,
// node1's parameter services and events, and the overridden depth of "/tf".
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <rcl_interfaces/msg/parameter_event.hpp>
#include <rcl_interfaces/srv/get_parameters.hpp>
#include <rcl_interfaces/srv/list_parameters.hpp>
#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/joint_state.hpp>
#include <std_msgs/msg/string.hpp>

#include "support/node_workspace.h"

namespace {

using namespace std::chrono_literals;
using rcl_interfaces::msg::ParameterEvent;

// The program, started over DDS with the given arguments in the working directory; stopped by SIGINT (or killed
// when it does not end) unless it ended by itself.
class Program {
 public:
  explicit Program(const std::vector<std::string>& arguments) {
    // Everything is prepared before the fork: the child of a threaded process may only exec.
    std::vector<char*> argv{const_cast<char*>(RAO_NODE_EXECUTABLE)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> environment{const_cast<char*>("RAO_TRANSPORT=dds")};
    for (char** entry = environ; *entry; ++entry) {
      if (std::string(*entry).rfind("RAO_TRANSPORT=", 0) != 0) environment.push_back(*entry);
    }
    environment.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(open("node_out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
      dup2(open("node_err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
      execve(RAO_NODE_EXECUTABLE, argv.data(), environment.data());
      _exit(127);
    }
  }
  ~Program() {
    if (!ended_) {
      kill(pid_, SIGINT);
      awaitEnd();
    }
  }

  // Waits (a hang is killed after a minute) and returns the exit status, -1 for an end by a signal.
  int awaitEnd() {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) kill(pid_, SIGKILL);
      std::this_thread::sleep_for(10ms);
    }
    ended_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
};

class NodeOnGraph : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    rclcpp::InitOptions options;
    options.transport = rclcpp::TransportKind::Dds;
    options.shutdown_on_signal = false;
    rclcpp::init(0, nullptr, options);
  }
  static void TearDownTestSuite() { rclcpp::shutdown(); }

  // Spins the probe until the condition holds; a minute is a hang, not a slow machine.
  template <typename ConditionT>
  bool spinUntil(ConditionT condition) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
      rclcpp::spin_some(probe_);
      std::this_thread::sleep_for(5ms);
    }
    return condition();
  }

  template <typename ServiceT>
  typename ServiceT::Response call(const std::string& name, const typename ServiceT::Request& request) {
    auto client = probe_->create_client<ServiceT>(name);
    EXPECT_TRUE(client->wait_for_service(60s)) << name;
    auto future = client->async_send_request(std::make_shared<typename ServiceT::Request>(request));
    EXPECT_TRUE(spinUntil([&future] { return future.wait_for(0s) == std::future_status::ready; })) << name;
    return *future.get();
  }

  NodeWorkspace workspace_;
  rclcpp::Node::SharedPtr probe_ = std::make_shared<rclcpp::Node>("graph_probe");
};

// node1's parameter starts with the override and is then replaced by the description: a value announced as new is
// the override (the declaration event, when the probe has matched the program by then), every change is the text
// the program publishes on "/robot_description", and get_parameters and list_parameters answer from another process.
// The joint states arrive on the remapped topic only, and "/tf" has the overridden depth.
TEST_F(NodeOnGraph, ArgumentsReachTheNodesAndNode1ServesItsParameter) {
  const std::string override_text = "<robot name=\"from_the_command_line\"/>";
  std::vector<ParameterEvent> events;
  auto event_subscription = probe_->create_subscription<ParameterEvent>(
      "/parameter_events", rclcpp::ParameterEventsQoS(), [&events](std::shared_ptr<const ParameterEvent> event) {
        if (event->node == "/node1") events.push_back(*event);
      });
  std::shared_ptr<const std_msgs::msg::String> published;
  auto description_subscription = probe_->create_subscription<std_msgs::msg::String>(
      "/robot_description", rclcpp::QoS(1).transient_local(),
      [&published](std::shared_ptr<const std_msgs::msg::String> message) { published = message; });
  auto joint_states = probe_->create_publisher<sensor_msgs::msg::JointState>("/arm/joint_states", 3);
  Program program({"--ros-args", "-p", "/robot_description:=" + override_text, "-r",
                   "/joint_states:=/arm/joint_states", "-p", "qos_overrides./tf.publisher.depth:=7"});

  ASSERT_TRUE(spinUntil([&] { return probe_->get_subscriptions_info_by_topic("/arm/joint_states").size() == 1; }));
  EXPECT_EQ(probe_->get_subscriptions_info_by_topic("/joint_states").size(), 0u);
  ASSERT_TRUE(spinUntil([&] { return probe_->get_publishers_info_by_topic("/tf").size() == 1; }));
  EXPECT_EQ(probe_->get_publishers_info_by_topic("/tf")[0].qos_profile().depth(), 7u);

  sensor_msgs::msg::JointState state;
  state.position.assign(8, 0.0);
  ASSERT_TRUE(spinUntil([&] {
    if (!published) joint_states->publish(state);
    return published != nullptr;
  }));
  ASSERT_TRUE(spinUntil([&] { return !events.empty() && !events.back().changed_parameters.empty(); }));
  for (const ParameterEvent& event : events) {
    for (const auto& parameter : event.new_parameters) {
      EXPECT_EQ(parameter.value.string_value, override_text) << "the first value is the override";
    }
    for (const auto& parameter : event.changed_parameters) {
      EXPECT_EQ(parameter.name, "/robot_description");
      EXPECT_EQ(parameter.value.string_value, published->data);
    }
  }
  rcl_interfaces::srv::GetParameters::Request get;
  get.names = {"/robot_description"};
  const auto values = call<rcl_interfaces::srv::GetParameters>("/node1/get_parameters", get).values;
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].string_value, published->data);
  EXPECT_NE(published->data.find("file://"), std::string::npos);
  get.names = {"robot_description"};
  EXPECT_TRUE(call<rcl_interfaces::srv::GetParameters>("/node1/get_parameters", get).values.empty());
  EXPECT_EQ(call<rcl_interfaces::srv::ListParameters>("/node1/list_parameters", rcl_interfaces::srv::ListParameters::Request()).result.names,
            std::vector<std::string>{"/robot_description"});
}

// A malformed ROS argument, or a QoS override that names no setting, ends the program before it runs, with a
// message that names it.
TEST_F(NodeOnGraph, AMalformedRosArgumentEndsTheProgramWithAMessage) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"-p", "nonsense"},
      {"--params-file", "missing.yaml"},
      {"-p", "qos_overrides./tf.publisher.history:=keep_some"},
  };
  for (const auto& [flag, value] : rows) {
    Program program({"--ros-args", flag, value});
    EXPECT_NE(program.awaitEnd(), 0) << value;
    const std::string named = value.substr(0, value.find(":="));
    EXPECT_NE(readFile("node_err.txt").find(named), std::string::npos) << readFile("node_err.txt");
    EXPECT_EQ(readFile("node_out.txt").find("spinThread"), std::string::npos) << value;
  }
}

}  // namespace
