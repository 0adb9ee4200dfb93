// The node object built in this process: settings falling back to defaults, the group it plans, every ROS
// entity as the graph reports it, and the robot-description parameter once the node runs.
#include <signal.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/in_process_node.h"
#include "support/node_process.h"

namespace {

using rclcpp::DurabilityPolicy;
using rclcpp::ReliabilityPolicy;

TEST(NodeObject, PlanningTheModelsOnlyGroupUnderAnotherNameIsAnnounced) {
  // A six-axis description whose arm chain was dropped leaves only the gripper's group.
  NodeWorkspace workspace;
  const std::string srdf =
      workspace.copyIntoWorkspace("src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description", "arm6") +
      "/srdf/arm6_and_whole_gripper_linker.srdf";
  std::string text = readFile(srdf);
  const size_t arm = text.find("  <group name=\"arm\">");
  text.erase(arm, text.find("</group>", arm) + 9 - arm);
  writeFile(srdf, text);
  YAML::Node config = fullTestConfig();
  useArm6(config, "./arm6/");
  workspace.writeConfig(config);
  const NodeRun run = runNode("initRosNode", SIGINT);
  EXPECT_EQ(occurrences(run.out, "planned_joint_group <arm> is not used: the model's only joint group <gripper> is "
                                 "planned"),
            1)
      << run.out;
}

// Every endpoint the graph knows, as "name kind node depth reliability durability" for topics and
// "name service" for services (the action client's included).
std::set<std::string> graphEndpoints() {
  rclcpp::Node probe("graph_probe");
  std::set<std::string> endpoints;
  for (const auto& [topic, types] : probe.get_topic_names_and_types()) {
    if (topic.find("/_action/") != std::string::npos) continue;
    for (const bool publishers : {true, false}) {
      for (const auto& info : publishers ? probe.get_publishers_info_by_topic(topic)
                                         : probe.get_subscriptions_info_by_topic(topic)) {
        const rclcpp::QoS& qos = info.qos_profile();
        endpoints.insert(topic + (publishers ? " pub " : " sub ") + info.node_name() + " " +
                         (qos.history() == rclcpp::HistoryPolicy::KeepLast ? "" : "keep_all ") +
                         std::to_string(qos.depth()) +
                         (qos.reliability() == ReliabilityPolicy::Reliable ? " reliable" : " best_effort") +
                         (qos.durability() == DurabilityPolicy::Volatile ? " volatile" : " transient_local"));
      }
    }
  }
  for (const auto& [service, types] : probe.get_service_names_and_types()) endpoints.insert(service + " service");
  return endpoints;
}

// The subscriptions of the first `count` cameras to their "points" or "depth" topics at the given depth.
std::set<std::string> cameraTopics(int count, const std::string& kind, int depth) {
  std::set<std::string> topics;
  for (const char* camera : {"a", "b", "c"}) {
    if (static_cast<int>(topics.size()) == count) break;
    topics.insert("/cam_" + std::string(camera) + "/" + kind + " sub node2 " + std::to_string(depth) +
                  " reliable volatile");
  }
  return topics;
}

TEST(NodeObject, EntitiesFollowTheConfiguration) {
  struct Case {
    const char* what;
    bool real_robot;
    int cameras;
    int source;
    bool close_clouds;
    bool grab;
    int camera_depth;  // of each camera subscription; 0 for none
  };
  const std::vector<Case> cases = {
      {"simulation ignores the cameras", false, 3, 2, false, false, 0},
      {"one cloud camera", true, 1, 1, false, false, 10},
      {"one depth camera", true, 1, 2, false, false, 10},
      {"two cloud cameras", true, 2, 1, false, false, 2},
      {"two depth cameras", true, 2, 2, false, false, 5},
      {"three cloud cameras", true, 3, 1, false, false, 3},
      {"three depth cameras", true, 3, 2, false, false, 10},
      {"no camera", true, 0, 1, false, false, 0},
      {"four cameras", true, 4, 1, false, false, 0},
      {"clouds closed", true, 2, 1, true, false, 0},
      {"unknown source", true, 1, 3, false, false, 0},
      {"grab module", false, 1, 1, false, true, 0},
  };
  for (const Case& entry : cases) {
    YAML::Node config = fullTestConfig();
    config["robot_avoid_obstacle"]["real_robot_flag"] = entry.real_robot;
    config["robot_avoid_obstacle"]["cameras_num"] = entry.cameras;
    config["robot_avoid_obstacle"]["pointcloud_input_source"] = entry.source;
    config["debug_mode"]["close_obstacle_pointcloud_flag"] = entry.close_clouds;
    config["grab_garbage_module"]["grab_garbage_flag"] = entry.grab;
    std::set<std::string> expected = {"/tf pub node2 100 reliable volatile",
                                      "/obstacle_pointcloud pub node2 10 reliable volatile",
                                      "/robot_description pub node2 1 reliable transient_local",
                                      "/move_to_goal sub node1 10 reliable volatile",
                                      "/visualization_marker pub node1 10 reliable volatile",
                                      "/arm5/follow_joint_trajectory/_action/send_goal service",
                                      "/arm5/follow_joint_trajectory/_action/get_result service",
                                      "/arm5/follow_joint_trajectory/_action/cancel_goal service"};
    if (entry.real_robot) {
      expected.merge(cameraTopics(entry.camera_depth ? entry.cameras : 0, entry.source == 1 ? "points" : "depth",
                                  entry.camera_depth));
      expected.insert({"/arm5/joint_states sub node2 1 best_effort volatile",
                       "/robot/collision_enable_topic pub node2 1 reliable volatile"});
    } else {
      expected.insert({"/pointcloud/output sub node2 3 reliable volatile",
                       "/arm5/joint_states sub node2 3 reliable volatile"});
    }
    if (entry.grab) expected.insert({"/arm5/move_joints service", "/arm5/grab service", "/arm5/release service"});
    InProcessNode node(config);
    ASSERT_TRUE(node.node().isReady()) << entry.what;
    EXPECT_EQ(graphEndpoints(), expected) << entry.what;
    EXPECT_EQ(node.output().find("is not used"), std::string::npos) << entry.what;
  }
}

TEST(NodeObject, RobotDescriptionParameterIsDeclaredEmptyAndFilledOnceRunning) {
  InProcessNode node(fullTestConfig());
  rclcpp::Node& node1 = RosTwoWrapperTestAccess::node1(node.node());
  ASSERT_TRUE(node1.has_parameter("/robot_description"));
  EXPECT_THROW(node1.get_parameter("/robot_description"), rclcpp::exceptions::ParameterUninitializedException);

  std::thread runner([&] { RosTwoWrapperTestAccess::run(node.node()); });
  const std::string& description = RosTwoWrapperTestAccess::robotDescription(node.node());
  ASSERT_NE(description.find("<robot"), std::string::npos);
  std::string value;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (value.empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    try {
      value = node1.get_parameter("/robot_description").as_string();
    } catch (const rclcpp::exceptions::ParameterUninitializedException&) {
    }
  }
  rclcpp::shutdown();
  runner.join();
  EXPECT_EQ(value, description);
}

}  // namespace
