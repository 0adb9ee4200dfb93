// The node object built in this process: settings falling back to defaults, the group it plans, every ROS
// entity as the graph reports it, and the robot-description parameter once the node runs.
#include <signal.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
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

TEST(NodeObject, MissingOrMistypedSettingTakesItsDefaultWithItsMessage) {
  struct Case {
    const char* name;
    std::function<void(YAML::Node&)> damage;
    const char* printed;
  };
  const std::vector<Case> cases = {
      {"cameras_num", [](YAML::Node& c) { c["robot_avoid_obstacle"].remove("cameras_num"); }, "\ncameras_num_=3\n"},
      {"real_robot_flag", [](YAML::Node& c) { c["robot_avoid_obstacle"]["real_robot_flag"] = 1; },
       "\nreal_robot_flag_=0\n"},
      {"resolution", [](YAML::Node& c) { c["point_clouds"].remove("resolution"); }, "\nresolution_=0.005000\n"},
      {"camera2_to_robot_base",
       [](YAML::Node& c) { c["color_camera2"]["camera_extrinsic"]["data"] = std::vector<double>(15, 0.0); },
       "camera2_to_robot_base_:\n -0.0108657    0.790284   -0.612644  -0.0880592\n"},
      {"tool_matrix", [](YAML::Node& c) { c["grab_garbage_module"]["tool_matrix"]["data"][3] = "far"; },
       "tool_matrix_:\n1 0 0 0\n0 1 0 0\n"},
      {"arm_grab_srv_name", [](YAML::Node& c) { c["grab_garbage_module"].remove("arm_grab_srv_name"); },
       "\narm_grab_srv_name_=/arm_grab\n"},
  };
  for (const Case& c : cases) {
    YAML::Node config = fullTestConfig();
    c.damage(config);
    InProcessNode node(config);
    EXPECT_TRUE(node.node().isReady()) << c.name;
    EXPECT_EQ(occurrences(node.output(), "we can not find <"), 1) << c.name;
    EXPECT_EQ(occurrences(node.output(), std::string("we can not find <") + c.name + "> para. \n"), 1) << c.name;
    EXPECT_EQ(occurrences(node.output(), c.printed), 1) << c.name << "\n" << node.output();
  }
}

TEST(NodeObject, MissingIntrinsicIsReportedAfterItsLookupAndPrintedAsZero) {
  YAML::Node config = fullTestConfig();
  config["color_camera2"].remove("camera_intrinsic");
  InProcessNode node(config);
  EXPECT_EQ(occurrences(node.output(),
                        "we can not find <camera2_intrinsic> para. \nyou don not have camera2 intrinsic\n"),
            1);
  EXPECT_EQ(occurrences(node.output(), "you don not have camera"), 1);
  EXPECT_EQ(occurrences(node.output(), "camera2_intrinsic_:[fx=0.000000,cx=0.000000,fy=0.000000,cy=0.000000]\n"), 1);
}

TEST(NodeObject, PlanningTheModelsOnlyGroupUnderAnotherNameIsAnnounced) {
  // The five-axis arm has one group, "arm".
  YAML::Node config = fullTestConfig();
  config["robot_avoid_obstacle"]["planned_joint_group"] = "manipulator";
  {
    InProcessNode renamed(config);
    EXPECT_TRUE(renamed.node().isReady());
    EXPECT_EQ(occurrences(renamed.output(), "planned_joint_group <manipulator> is not used: the model's only joint "
                                            "group <arm> is planned"),
              1);
  }
  config["robot_avoid_obstacle"]["planned_joint_group"] = "arm";
  {
    InProcessNode named(config);
    EXPECT_EQ(named.output().find("is not used"), std::string::npos);
  }

  // A six-axis description whose arm chain was dropped leaves only the gripper's group.
  NodeWorkspace workspace;
  const std::string srdf =
      workspace.copyIntoWorkspace("src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description", "arm6") +
      "/srdf/arm6_and_whole_gripper_linker.srdf";
  std::string text = readText(srdf);
  const size_t arm = text.find("  <group name=\"arm\">");
  text.erase(arm, text.find("</group>", arm) + 9 - arm);
  std::ofstream(srdf) << text;
  useArm6(config, "./arm6/");
  workspace.writeConfig(config);
  const NodeRun run = runNode(workspace.path(), "initRosNode", SIGINT);
  EXPECT_EQ(occurrences(run.out, "planned_joint_group <arm> is not used: the model's only joint group <gripper> is "
                                 "planned"),
            1)
      << run.out;
}

// One endpoint of a topic as the graph reports it.
struct Endpoint {
  bool publisher;
  std::string node;
  size_t depth;
  ReliabilityPolicy reliability = ReliabilityPolicy::Reliable;
  DurabilityPolicy durability = DurabilityPolicy::Volatile;
};

using TopicMap = std::map<std::string, Endpoint>;

TopicMap commonTopics() {
  return {{"/tf", {true, "node2", 100}},
          {"/obstacle_pointcloud", {true, "node2", 10}},
          {"/robot_description", {true, "node2", 1, ReliabilityPolicy::Reliable, DurabilityPolicy::TransientLocal}},
          {"/move_to_goal", {false, "node1", 10}},
          {"/visualization_marker", {true, "node1", 10}}};
}

TopicMap simulationTopics() {
  TopicMap topics = commonTopics();
  topics["/pointcloud/output"] = {false, "node2", 3};
  topics["/arm5/joint_states"] = {false, "node2", 3};
  return topics;
}

TopicMap realRobotTopics(const std::vector<std::string>& camera_topics, size_t camera_depth) {
  TopicMap topics = commonTopics();
  topics["/arm5/joint_states"] = {false, "node2", 1, ReliabilityPolicy::BestEffort};
  topics["/robot/collision_enable_topic"] = {true, "node2", 1};
  for (const std::string& topic : camera_topics) topics[topic] = {false, "node2", camera_depth};
  return topics;
}

void expectGraph(const TopicMap& expected, const std::string& what) {
  rclcpp::Node probe("graph_probe");
  std::set<std::string> names;
  for (const auto& [name, types] : probe.get_topic_names_and_types()) {
    if (name.find("/_action/") == std::string::npos) names.insert(name);
  }
  std::set<std::string> expected_names;
  for (const auto& entry : expected) expected_names.insert(entry.first);
  EXPECT_EQ(names, expected_names) << what;
  for (const auto& [topic, endpoint] : expected) {
    const auto infos = endpoint.publisher ? probe.get_publishers_info_by_topic(topic)
                                          : probe.get_subscriptions_info_by_topic(topic);
    ASSERT_EQ(infos.size(), 1u) << what << " " << topic;
    EXPECT_EQ(infos[0].node_name(), endpoint.node) << what << " " << topic;
    EXPECT_EQ(infos[0].qos_profile().history(), rclcpp::HistoryPolicy::KeepLast) << what << " " << topic;
    EXPECT_EQ(infos[0].qos_profile().depth(), endpoint.depth) << what << " " << topic;
    EXPECT_EQ(infos[0].qos_profile().reliability(), endpoint.reliability) << what << " " << topic;
    EXPECT_EQ(infos[0].qos_profile().durability(), endpoint.durability) << what << " " << topic;
  }
  const auto services = probe.get_service_names_and_types();
  for (const char* part : {"send_goal", "get_result", "cancel_goal"}) {
    EXPECT_EQ(services.count(std::string("/arm5/follow_joint_trajectory/_action/") + part), 1u) << what;
  }
}

TEST(NodeObject, EntitiesFollowTheConfiguration) {
  struct Case {
    const char* what;
    bool real_robot;
    int cameras;
    int source;
    bool close_clouds;
    TopicMap topics;
    const char* line;
  };
  const std::string a = "/cam_a/points", b = "/cam_b/points", c = "/cam_c/points";
  const std::string da = "/cam_a/depth", db = "/cam_b/depth", dc = "/cam_c/depth";
  const std::vector<Case> cases = {
      {"simulation ignores the cameras", false, 3, 2, false, simulationTopics(), nullptr},
      {"one cloud camera", true, 1, 1, false, realRobotTopics({a}, 10), "pointclouds subscribe topic: </cam_a/points>\n"},
      {"one depth camera", true, 1, 2, false, realRobotTopics({da}, 10), "depth map subscribe topic: </cam_a/depth>\n"},
      {"two cloud cameras", true, 2, 1, false, realRobotTopics({a, b}, 2),
       "pointclouds subscribe topic: </cam_a/points> and </cam_b/points>\n"},
      {"two depth cameras", true, 2, 2, false, realRobotTopics({da, db}, 5),
       "depth map subscribe topic: </cam_a/depth> and </cam_b/depth>\n"},
      {"three cloud cameras", true, 3, 1, false, realRobotTopics({a, b, c}, 3),
       "pointclouds subscribe topic: </cam_a/points>, </cam_b/points> and </cam_c/points>\n"},
      {"three depth cameras", true, 3, 2, false, realRobotTopics({da, db, dc}, 10),
       "depth map subscribe topic: </cam_a/depth>, </cam_b/depth> and </cam_c/depth>\n"},
      {"no camera", true, 0, 1, false, realRobotTopics({}, 0), "cameras_num init error!\n"},
      {"four cameras", true, 4, 1, false, realRobotTopics({}, 0), "cameras_num init error!\n"},
      {"clouds closed", true, 2, 1, true, realRobotTopics({}, 0), "pointcloud input source error\n"},
      {"unknown source", true, 1, 3, false, realRobotTopics({}, 0), "pointcloud input source error\n"},
  };
  for (const Case& entry : cases) {
    YAML::Node config = fullTestConfig();
    config["robot_avoid_obstacle"]["real_robot_flag"] = entry.real_robot;
    config["robot_avoid_obstacle"]["cameras_num"] = entry.cameras;
    config["robot_avoid_obstacle"]["pointcloud_input_source"] = entry.source;
    config["debug_mode"]["close_obstacle_pointcloud_flag"] = entry.close_clouds;
    config["grab_garbage_module"]["grab_garbage_flag"] = false;
    InProcessNode node(config);
    ASSERT_TRUE(node.node().isReady()) << entry.what;
    expectGraph(entry.topics, entry.what);
    for (const char* line : {"subscribe topic:", "cameras_num init error!", "pointcloud input source error"}) {
      const int expected = entry.line != nullptr && std::string(entry.line).find(line) != std::string::npos;
      EXPECT_EQ(occurrences(node.output(), line), expected) << entry.what << ": " << line;
    }
    if (entry.line != nullptr) {
      EXPECT_EQ(occurrences(node.output(), entry.line), 1) << entry.what;
    }
  }
}

TEST(NodeObject, ServicesExistOnlyWithTheGrabModule) {
  for (const bool grab : {false, true}) {
    YAML::Node config = fullTestConfig();
    config["grab_garbage_module"]["grab_garbage_flag"] = grab;
    InProcessNode node(config);
    rclcpp::Node probe("graph_probe");
    const auto services = probe.get_service_names_and_types();
    for (const char* name : {"/arm5/move_joints", "/arm5/grab", "/arm5/release"}) {
      EXPECT_EQ(services.count(name), grab ? 1u : 0u) << name;
    }
    EXPECT_EQ(probe.get_subscriptions_info_by_topic("/move_to_goal").size(), 1u);
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
