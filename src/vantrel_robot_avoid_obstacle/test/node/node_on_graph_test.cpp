// The node among other ROS 2 programs: the nodes and endpoints it announces, and the queues that hold the command
// requests arriving while it is busy, each keeping the newest ten (the services' KEEP_LAST 10 profile).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "graph_reader.hpp"
#include "node_rig.h"
#include "rclcpp_action/rclcpp_action.hpp"
#include "support/node_workspace.h"

namespace {

using namespace std::chrono_literals;
using ArmMoveJoints = Access::ArmMoveJoints;
using FollowJointTrajectory = control_msgs::action::FollowJointTrajectory;
using Reply = rclcpp::Client<ArmMoveJoints>::SharedFuture;
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

// Waits, without spinning, as long as a hang would take.
template <typename ConditionT>
bool waitFor(ConditionT condition, std::chrono::seconds timeout = 60s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  return condition();
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
    return waitFor([this] {
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
    ASSERT_TRUE(waitFor([&command] { return ready(command.future); }));
    EXPECT_EQ(command.get()->code, 0) << command.get()->message;
    // Answers come in order: once the newest is answered, nothing before it is still waiting.
    ASSERT_TRUE(waitFor([&replies] { return ready(replies.back()); }));
    for (size_t i = 0; i < replies.size(); ++i) {
      ASSERT_EQ(ready(replies[i]), i >= 40) << i;
      if (i >= 40) {
        EXPECT_EQ(replies[i].get()->message, "success");
      }
    }
  }
}

// The node program in a process of its own over DDS, started in a fresh workspace with the command services and the
// held controller's action; stopped with SIGINT. Its console output goes to files.
class NodeOverDds {
 public:
  explicit NodeOverDds(const YAML::Node& config) {
    workspace_.writeConfig(config);
    pid_ = fork();
    if (pid_ == 0) {
      freopen("node_out.txt", "w", stdout);
      freopen("node_err.txt", "w", stderr);
      setenv("RAO_TRANSPORT", "dds", 1);
      // The sanitizer keeps freed memory back for a while; kept small, the resident size shows what the node holds.
      const char* asan = std::getenv("ASAN_OPTIONS");
      setenv("ASAN_OPTIONS", ((asan ? std::string(asan) + ":" : "") + "quarantine_size_mb=1").c_str(), 1);
      execl(RAO_NODE_EXECUTABLE, RAO_NODE_EXECUTABLE, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~NodeOverDds() {
    kill(pid_, SIGINT);
    int status = 0;
    bool ended = false;
    waitFor([this, &status, &ended] { return ended = ended || waitpid(pid_, &status, WNOHANG) == pid_; }, 20s);
    if (!ended) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    EXPECT_TRUE(ended) << "the node did not end on SIGINT";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << readFile("node_err.txt");
  }
  NodeOverDds(const NodeOverDds&) = delete;
  NodeOverDds& operator=(const NodeOverDds&) = delete;

  // The node's resident memory in bytes, from the kernel.
  size_t residentBytes() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string key;
    size_t kilobytes = 0;
    while (status >> key && key != "VmRSS:") status.ignore(4096, '\n');
    status >> kilobytes;
    return kilobytes * 1024;
  }

 private:
  NodeWorkspace workspace_;
  pid_t pid_ = -1;
};

// The test's side of the graph: its own DDS context, with a peer node spun on a thread of its own.
class DdsPeer {
 public:
  DdsPeer() {
    rclcpp::InitOptions options;
    options.transport = rclcpp::TransportKind::Dds;
    options.shutdown_on_signal = false;
    context_->init(0, nullptr, options);
    node_ = std::make_shared<rclcpp::Node>("node_on_graph_test", rclcpp::NodeOptions().context(context_));
    rclcpp::ExecutorOptions executor_options;
    executor_options.context = context_;
    executor_ = std::make_unique<rclcpp::executors::SingleThreadedExecutor>(executor_options);
    executor_->add_node(node_);
    spin_ = std::thread([this] { executor_->spin(); });
  }
  ~DdsPeer() {
    context_->shutdown("test over");
    spin_.join();
  }

  const rclcpp::Node::SharedPtr& node() const { return node_; }

 private:
  const rclcpp::Context::SharedPtr context_ = std::make_shared<rclcpp::Context>();
  rclcpp::Node::SharedPtr node_;
  std::unique_ptr<rclcpp::executors::SingleThreadedExecutor> executor_;
  std::thread spin_;
};

// Another participant finds node1, node2 and node3 of the node program, each with its endpoints, in what the program
// announces on "ros_discovery_info".
TEST(NodeOnGraph, AnotherParticipantFindsTheThreeNodesWithTheirEndpoints) {
  NodeOverDds program(heldConfig(Arm::Six));
  GraphReader graph;
  const auto has = [](const std::multiset<std::string>& topics, const std::string& topic) {
    return topics.count(topic) == 1;
  };
  const std::string action = std::string("/held/follow_joint_trajectory/_action/");
  EXPECT_TRUE(GraphReader::wait_for([&] {
    auto nodes = graph.nodes();
    const auto& node1 = nodes["/node1"];
    const auto& node2 = nodes["/node2"];
    const auto& node3 = nodes["/node3"];
    return has(node1.readers, "rt/move_to_goal") && has(node1.readers, "rq/arm5/move_jointsRequest") &&
           has(node1.writers, "rr/arm5/move_jointsReply") && has(node1.readers, "rq/arm5/releaseRequest") &&
           has(node1.writers, "rt/visualization_marker") && has(node2.writers, "rt/tf") &&
           has(node2.writers, "rt/robot_description") && has(node2.writers, "rt/obstacle_pointcloud") &&
           has(node2.readers, "rt/pointcloud/output") && has(node2.readers, "rt/arm5/joint_states") &&
           has(node3.writers, "rq" + action + "send_goalRequest") && has(node3.readers, "rr" + action + "get_resultReply") &&
           has(node3.readers, "rt" + action + "status") && has(node3.readers, "rt" + action + "feedback");
  })) << ::testing::PrintToString(graph.nodes()["/node1"].readers);
  EXPECT_TRUE(graph.decode_errors().empty());
}

// A hundred requests of 4 MB each arrive while the node waits on the trajectory of a command it planned: its resident
// memory grows by the ten it keeps and what DDS holds of the requests in transit, not by all of them, and what it
// answers is right. The newest ten are answered in any case.
TEST(NodeOnGraph, AFloodOfLargeRequestsWhileTheNodeIsBusyHoldsOnlyTheNewestTen) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer's shadow of every byte the node touched makes its resident size no measure";
#endif
  const YAML::Node config = heldConfig(Arm::Five);
  NodeOverDds program(config);
  DdsPeer peer;
  HeldController controller(peer.node());
  auto client = peer.node()->create_client<ArmMoveJoints>(moveJointsService(config));
  ASSERT_TRUE(client->wait_for_service(60s));
  // A start in the arm's limits, clear of itself; the node reads the first joints in group order.
  auto states = peer.node()->create_publisher<sensor_msgs::msg::JointState>("/arm5/joint_states", 3);
  ASSERT_TRUE(waitFor([&states] { return states->get_subscription_count() > 0; }));
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
  ASSERT_TRUE(waitFor([&command] { return ready(command.future); }));
  EXPECT_EQ(command.get()->code, 0) << command.get()->message;
  EXPECT_TRUE(waitFor([&replies] { return ready(replies.back()); }));
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
}

}  // namespace
