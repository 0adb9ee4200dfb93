// The node among other ROS 2 programs: its command line's ROS arguments, the nodes and endpoints it announces,
// node1's parameter services and events, and the queues that hold the command requests arriving while it is busy, each
// keeping the newest ten (the services' KEEP_LAST 10 profile).
#include <atomic>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <rcl_interfaces/msg/parameter_event.hpp>
#include <rcl_interfaces/srv/get_parameters.hpp>
#include <rcl_interfaces/srv/list_parameters.hpp>
#include <std_msgs/msg/string.hpp>

#include "graph_reader.hpp"
#include "node_rig.h"
#include "rclcpp_action/rclcpp_action.hpp"
#include "ros_test_support.hpp"
#include "support/graph_probe.h"
#include "support/node_process.h"
#include "support/node_workspace.h"

namespace {

using namespace std::chrono_literals;
using ArmMoveJoints = Access::ArmMoveJoints;
using FollowJointTrajectory = control_msgs::action::FollowJointTrajectory;
using Reply = rclcpp::Client<ArmMoveJoints>::SharedFuture;
using rcl_interfaces::msg::ParameterEvent;
constexpr const char* kHeldAction = "/held/follow_joint_trajectory";

// Simulation, the command services on, the held controller's action.
YAML::Node heldConfig(Arm arm) {
  YAML::Node config = nodeConfig(arm, false);
  config["robot_avoid_obstacle"]["robot_follow_joint_trajectory_topic"] = kHeldAction;
  return config;
}
std::string moveJointsService(const YAML::Node& config) {
  return config["grab_garbage_module"]["arm_move_joints_srv_name"].as<std::string>();
}

bool ready(const Reply& reply) { return reply.wait_for(0s) == std::future_status::ready; }

// The sanitizer's options of this process with `extra` after them, for the program it starts.
std::string asanOptionsWith(const std::string& extra) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  return "ASAN_OPTIONS=" + (asan ? std::string(asan) + ":" : "") + extra;
}

// A params file of under a kilobyte whose maps of aliases, nested nine deep, name a billion parameters once walked.
// Its first alias is on line 4.
std::string nestedAliases() {
  std::string text = "/**:\n  ros__parameters:\n    l0: &l0 1\n";
  for (int level = 1; level <= 9; ++level) {
    const std::string below = "*l" + std::to_string(level - 1);
    text += "    l" + std::to_string(level) + ": &l" + std::to_string(level) + " {";
    for (char key = 'a'; key <= 'j'; ++key) text += std::string(key == 'a' ? "" : ", ") + key + ": " + below;
    text += "}\n";
  }
  return text;
}

// An arm controller that accepts every trajectory goal and holds it until the test ends it successfully.
class HeldController {
 public:
  using GoalHandle = rclcpp_action::ServerGoalHandle<FollowJointTrajectory>;

  explicit HeldController(const rclcpp::Node::SharedPtr& node)
      : server_(rclcpp_action::create_server<FollowJointTrajectory>(
            node, kHeldAction,
            [](const rclcpp_action::GoalUUID&, std::shared_ptr<const FollowJointTrajectory::Goal>) {
              return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
            },
            [](std::shared_ptr<GoalHandle>) { return rclcpp_action::CancelResponse::REJECT; },
            [this](std::shared_ptr<GoalHandle> goal) {
              std::lock_guard<std::mutex> lock(mutex_);
              held_ = std::move(goal);
            })) {}

  bool holdsAGoal() {
    return wait_until([this] {
      std::lock_guard<std::mutex> lock(mutex_);
      return held_ != nullptr;
    });
  }
  void finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_->succeed(std::make_shared<FollowJointTrajectory::Result>());
    held_.reset();
  }

 private:
  std::mutex mutex_;
  std::shared_ptr<GoalHandle> held_;
  rclcpp_action::Server<FollowJointTrajectory>::SharedPtr server_;
};

std::shared_ptr<ArmMoveJoints::Request> shared(const ArmMoveJoints::Request& request) {
  return std::make_shared<ArmMoveJoints::Request>(request);
}

// The node in this process, a joint goal held by the controller: fifty requests that need no motion arrive while the
// node waits on it. Once the goal has ended, the node answers the newest ten and drops the forty before them unanswered,
// as a KEEP_LAST 10 reader does.
TEST(CommandQueue, WhileTheNodeWaitsOnAGoalOnlyTheNewestTenRequestsAreAnswered) {
  for (const Arm arm : {Arm::Five, Arm::Six}) {
    const YAML::Node config = heldConfig(arm);
    NodeRig rig(config, {}, arm_sim::tablePillarBoxScene(), NodeRig::Spin::Run);
    HeldController controller(rig.peer());
    auto client = rig.peer()->create_client<ArmMoveJoints>(moveJointsService(config));
    ASSERT_TRUE(client->wait_for_service(10s));
    std::vector<double> goal = rig.start();
    goal[0] += 0.3;
    auto command = client->async_send_request(shared(jointRequest(goal)), [](Reply) {});
    ASSERT_TRUE(controller.holdsAGoal());

    std::vector<Reply> replies;
    for (int i = 0; i < 50; ++i) {
      replies.push_back(client->async_send_request(shared(jointRequest({}, 2)), [](Reply) {}).future);
    }
    controller.finish();
    ASSERT_TRUE(wait_until([&command] { return ready(command.future); }));
    EXPECT_EQ(command.get()->code, 0) << command.get()->message;
    // Answers come in order: once the newest is answered, nothing before it is still waiting.
    ASSERT_TRUE(wait_until([&replies] { return ready(replies.back()); }));
    for (size_t i = 0; i < replies.size(); ++i) {
      ASSERT_EQ(ready(replies[i]), i >= 40) << i;
      if (i >= 40) {
        EXPECT_EQ(replies[i].get()->message, "success");
      }
    }
  }
}

// The test's side of the graph over DDS, in a domain of its own that the program started here inherits: a probe node
// in a context of its own (its transport is DDS whatever an earlier test made the global context's), spun on the
// test's thread or on a thread of its own; and a fresh workspace for the program.
class NodeOnGraph : public ::testing::Test {
 protected:
  const std::string kOverDds = "RAO_TRANSPORT=dds";
  NodeWorkspace workspace_;
  GraphProbe probe_;
};

// The history depth of every writer on a DDS topic, as discovery shows it.
std::vector<int32_t> writerDepths(const GraphReader& graph, const std::string& topic) {
  std::vector<int32_t> depths;
  graph.each_endpoint(true, [&](const std::string&, const GraphReader::DdsEndpoint& endpoint) {
    dds_history_kind_t kind;
    int32_t depth = 0;
    if (endpoint.topic == topic && dds_qget_history(endpoint.qos, &kind, &depth)) depths.push_back(depth);
  });
  return depths;
}

// The program started with a parameter override, a remap and a QoS override. Another participant finds node1, node2
// and node3 in what the program announces on "ros_discovery_info", each with its endpoints: the joint states read on
// the remapped topic only, "/tf" written with the overridden depth. node1's parameter starts with the override and is
// then replaced by the description: a value announced as new is the override (the declaration event, when the probe
// has matched the program by then), every change is the text the program publishes on "/robot_description", and
// get_parameters and list_parameters answer from another process.
TEST_F(NodeOnGraph, TheNodesAnnounceWhatTheArgumentsMadeOfThemAndNode1ServesItsParameter) {
  workspace_.writeConfig(heldConfig(Arm::Six));
  const std::string override_text = "<robot name=\"from_the_command_line\"/>";
  std::vector<ParameterEvent> events;
  auto event_subscription = probe_.node()->create_subscription<ParameterEvent>(
      "/parameter_events", rclcpp::ParameterEventsQoS(), [&events](std::shared_ptr<const ParameterEvent> event) {
        if (event->node == "/node1") events.push_back(*event);
      });
  std::shared_ptr<const std_msgs::msg::String> published;
  auto description_subscription = probe_.node()->create_subscription<std_msgs::msg::String>(
      "/robot_description", rclcpp::QoS(1).transient_local(),
      [&published](std::shared_ptr<const std_msgs::msg::String> message) { published = message; });
  auto joint_states = probe_.node()->create_publisher<sensor_msgs::msg::JointState>("/arm/joint_states", 3);
  NodeProcess program({"--ros-args", "-p", "/robot_description:=" + override_text, "-r",
                       "/arm5/joint_states:=/arm/joint_states", "-p", "qos_overrides./tf.publisher.depth:=7"},
                      {kOverDds});

  GraphReader graph;
  const auto has = [](const std::multiset<std::string>& topics, const std::string& topic) {
    return topics.count(topic) == 1;
  };
  const std::string action = std::string("/held/follow_joint_trajectory/_action/");
  EXPECT_TRUE(probe_.spinUntil([&] {
    auto nodes = graph.nodes();
    const auto& node1 = nodes["/node1"];
    const auto& node2 = nodes["/node2"];
    const auto& node3 = nodes["/node3"];
    return has(node1.readers, "rt/move_to_goal") && has(node1.readers, "rq/arm5/move_jointsRequest") &&
           has(node1.writers, "rr/arm5/move_jointsReply") && has(node1.readers, "rq/arm5/releaseRequest") &&
           has(node1.writers, "rt/visualization_marker") && has(node2.writers, "rt/tf") &&
           has(node2.writers, "rt/robot_description") && has(node2.writers, "rt/obstacle_pointcloud") &&
           has(node2.readers, "rt/pointcloud/output") && has(node2.readers, "rt/arm/joint_states") &&
           has(node3.writers, "rq" + action + "send_goalRequest") && has(node3.readers, "rr" + action + "get_resultReply") &&
           has(node3.readers, "rt" + action + "status") && has(node3.readers, "rt" + action + "feedback");
  })) << ::testing::PrintToString(graph.nodes()["/node2"].readers);
  EXPECT_EQ(graph.nodes()["/node2"].readers.count("rt/arm5/joint_states"), 0u);
  EXPECT_EQ(writerDepths(graph, "rt/tf"), std::vector<int32_t>{7});
  EXPECT_TRUE(graph.decode_errors().empty());

  sensor_msgs::msg::JointState state;
  state.position.assign(8, 0.0);
  ASSERT_TRUE(probe_.spinUntil([&] {
    if (!published) joint_states->publish(state);
    return published != nullptr;
  }));
  ASSERT_TRUE(probe_.spinUntil([&] { return !events.empty() && !events.back().changed_parameters.empty(); }));
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
  const auto values = probe_.call<rcl_interfaces::srv::GetParameters>("/node1/get_parameters", get).values;
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].string_value, published->data);
  EXPECT_NE(published->data.find("file://"), std::string::npos);
  get.names = {"robot_description"};
  EXPECT_TRUE(probe_.call<rcl_interfaces::srv::GetParameters>("/node1/get_parameters", get).values.empty());
  using ListParameters = rcl_interfaces::srv::ListParameters;
  EXPECT_EQ(probe_.call<ListParameters>("/node1/list_parameters", ListParameters::Request()).result.names,
            std::vector<std::string>{"/robot_description"});
  EXPECT_EQ(program.stop(), 0) << readFile("node_err.txt");
}

// A malformed or unknown ROS argument, or a QoS override that names no setting, ends the program before it runs, with
// exit status 1 and one message that names it. A params file of aliases is refused at the first, before anything
// expands it (the program would be stopped at 2 GB resident otherwise).
TEST_F(NodeOnGraph, ABadRosArgumentEndsTheProgramWithOneMessageNamingIt) {
  struct Row {
    std::vector<std::string> arguments;
    std::string named;
  };
  writeFile("aliases.yaml", nestedAliases());
  const std::vector<Row> rows = {
      {{"-p", "nonsense"}, "'-p nonsense'"},
      {{"--params-file", "missing.yaml"}, "'--params-file missing.yaml'"},
      {{"--params-file", "aliases.yaml"}, "'--params-file aliases.yaml'. Error: Will not support aliasing at line 4"},
      {{"-r", "rosservice://__node:=renamed"}, "'-r rosservice://__node:=renamed'"},
      {{"--no-such-flag"}, "'--no-such-flag'"},
      {{"-p", "qos_overrides./tf.publisher.history:=keep_some"}, "qos_overrides./tf.publisher.history"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> arguments{"--ros-args"};
    arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
    NodeProcess program(arguments, {kOverDds, asanOptionsWith("hard_rss_limit_mb=2048")});
    EXPECT_EQ(program.awaitEnd(), 1) << row.named;
    const std::string err = readFile("node_err.txt");
    EXPECT_EQ(occurrences(err, row.named), 1) << err;
    EXPECT_EQ(err.find("terminate"), std::string::npos) << err;
    EXPECT_EQ(readFile("node_out.txt").find("spinThread"), std::string::npos) << row.named;
  }
}

// Remap rules that name their kind: node1's topic "/move_to_goal" moves and its service of that name stays; the service
// named as the joint-state topic moves and node2's joint-state topic stays.
TEST_F(NodeOnGraph, RemapRulesOfOneKindMoveThatKindOnly) {
  YAML::Node config = heldConfig(Arm::Six);
  const std::string joint_states = config["robot_avoid_obstacle"]["joints_state_topic"].as<std::string>();
  config["grab_garbage_module"]["arm_move_joints_srv_name"] = "/move_to_goal";
  config["grab_garbage_module"]["arm_grab_srv_name"] = joint_states;
  workspace_.writeConfig(config);
  NodeProcess program({"--ros-args", "-r", "node1:rostopic://move_to_goal:=moved_goal", "-r",
                       "rosservice://" + joint_states + ":=/moved_states"},
                      {kOverDds});

  GraphReader graph;
  const auto count = [&graph](const std::string& node, bool writers, const std::string& topic) {
    auto nodes = graph.nodes();
    return (writers ? nodes[node].writers : nodes[node].readers).count(topic);
  };
  const std::string states = joint_states.substr(1);
  EXPECT_TRUE(probe_.spinUntil([&] {
    return count("/node1", false, "rt/moved_goal") == 1 && count("/node1", false, "rq/move_to_goalRequest") == 1 &&
           count("/node1", false, "rq/moved_statesRequest") == 1 && count("/node1", true, "rr/moved_statesReply") == 1 &&
           count("/node2", false, "rt/" + states) == 1 && count("/node1", false, "rq/arm5/releaseRequest") == 1;
  })) << ::testing::PrintToString(graph.nodes()["/node1"].readers);
  EXPECT_EQ(count("/node1", false, "rt/move_to_goal"), 0u);
  EXPECT_EQ(count("/node1", false, "rq/" + states + "Request"), 0u);
  EXPECT_EQ(count("/node2", false, "rt/moved_states"), 0u);
  EXPECT_EQ(program.stop(), 0) << readFile("node_err.txt");
}

// A hundred requests of 4 MB each arrive while the node waits on the trajectory of a command it planned: its resident
// memory grows by the ten it keeps and what DDS holds of the requests in transit, not by all of them, and what it
// answers is right. The newest ten are answered in any case.
TEST_F(NodeOnGraph, AFloodOfLargeRequestsWhileTheNodeIsBusyHoldsOnlyTheNewestTen) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer's shadow of every byte the node touched makes its resident size no measure";
#endif
  const YAML::Node config = heldConfig(Arm::Five);
  workspace_.writeConfig(config);
  // The sanitizer keeps freed memory back for a while; kept small, the resident size shows what the node holds.
  NodeProcess program({}, {kOverDds, asanOptionsWith("quarantine_size_mb=1")});
  SpinThread spin(probe_.executor());
  HeldController controller(probe_.node());
  auto client = probe_.node()->create_client<ArmMoveJoints>(moveJointsService(config));
  ASSERT_TRUE(client->wait_for_service(kHangTimeout));
  // A start in the arm's limits, clear of itself; the node reads the first joints in group order.
  auto states = probe_.node()->create_publisher<sensor_msgs::msg::JointState>("/arm5/joint_states", 3);
  ASSERT_TRUE(wait_until([&states] { return states->get_subscription_count() > 0; }));
  sensor_msgs::msg::JointState start;
  start.position = {0.0, -0.3, 0.9, 0.0, 0.0, 0.0};
  states->publish(start);
  auto goal = start.position;
  goal[0] += 0.3;
  goal.resize(5);
  auto command = client->async_send_request(shared(jointRequest(goal)), [](Reply) {});
  ASSERT_TRUE(controller.holdsAGoal()) << "the command sent no trajectory";

  const size_t before = program.residentBytes();
  std::atomic<size_t> peak{before};
  std::atomic<bool> flooding{true};
  std::thread watch([&] {
    while (flooding) {
      peak = std::max(peak.load(), program.residentBytes());
      std::this_thread::sleep_for(2ms);
    }
  });
  const auto flood = shared(jointRequest(std::vector<double>(4 << 20 >> 3, 0.5)));
  std::vector<Reply> replies;
  for (int i = 0; i < 100; ++i) replies.push_back(client->async_send_request(flood, [](Reply) {}).future);
  controller.finish();
  ASSERT_TRUE(wait_until([&command] { return ready(command.future); }));
  EXPECT_EQ(command.get()->code, 0) << command.get()->message;
  EXPECT_TRUE(wait_until([&replies] { return ready(replies.back()); }));
  flooding = false;
  watch.join();

  // The ten queued requests, and what DDS holds of those still arriving: fragments being reassembled, samples waiting
  // for a lost fragment to be repaired, the one being decoded (about 50 MiB here, whatever the number of cores). Without
  // the bound, every request would stay: 400 MiB.
  constexpr size_t kMiB = 1 << 20;
  EXPECT_LT(peak.load(), before + 10 * 4 * kMiB + 80 * kMiB) << "from " << before / kMiB << " MiB";
  size_t answered = 0;
  for (size_t i = 0; i < replies.size(); ++i) {
    if (!ready(replies[i])) {
      EXPECT_LT(i, 90u) << "one of the newest ten is unanswered";
      continue;
    }
    ++answered;
    EXPECT_EQ(replies[i].get()->code, -20);
    EXPECT_EQ(replies[i].get()->message, "armMoveJointsCmd n_dof_ dose not equal data.size();!");
  }
  EXPECT_GE(answered, 10u);
  EXPECT_EQ(program.stop(), 0) << readFile("node_err.txt");
}

}  // namespace
