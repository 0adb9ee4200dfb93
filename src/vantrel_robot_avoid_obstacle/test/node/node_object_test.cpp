// The node object built in this process, one configuration change per row: the keys it could not read, every ROS
// entity as the graph reports it, with its quality of service, or the reason why the set-up cannot work, against a
// golden file.
#include <cstdio>
#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/in_process_node.h"

namespace {

using rclcpp::DurabilityPolicy;
using rclcpp::ReliabilityPolicy;

// Every endpoint the graph knows, a line each, as "name kind node depth reliability durability" for topics and
// "name service" for services (the action client's included), but for the parameter services and events that every
// node has.
std::string graphEndpoints() {
  rclcpp::Node probe("graph_probe");
  std::set<std::string> endpoints;
  for (const auto& [topic, types] : probe.get_topic_names_and_types()) {
    if (topic.find("/_action/") != std::string::npos || topic == "/parameter_events") continue;
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
  for (const auto& [service, types] : probe.get_service_names_and_types()) {
    if (types.front().rfind("rcl_interfaces/", 0) != 0) endpoints.insert(service + " service");
  }
  std::string lines;
  for (const std::string& endpoint : endpoints) lines += endpoint + "\n";
  return lines;
}

TEST(NodeObject, EntitiesFollowTheConfigurationOrTheSetUpSaysWhyItCannotWork) {
  // Descriptions that rows damage, outside the workspace each node makes for itself.
  NodeWorkspace damaged;
  const std::string arm6 = damaged.copyIntoWorkspace(
      "src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description", "arm6");
  std::remove((arm6 + "/meshes/gripper_body.stl").c_str());
  const std::string arm6_files = "urdf_path: urdf/arm6_and_whole_gripper_linker_shim_camera.urdf, "
                                 "srdf_path: srdf/arm6_and_whole_gripper_linker.srdf";
  const std::vector<std::pair<const char*, std::string>> rows = {
      {"simulation ignores the cameras",
       "{robot_avoid_obstacle: {real_robot_flag: false, cameras_num: 4, pointcloud_input_source: 3}}"},
      {"one cloud camera", "{robot_avoid_obstacle: {cameras_num: 1, pointcloud_input_source: 1}}"},
      {"one depth camera", "{robot_avoid_obstacle: {cameras_num: 1}}"},
      {"two cloud cameras", "{robot_avoid_obstacle: {pointcloud_input_source: 1}}"},
      {"two depth cameras", "{}"},
      {"three cloud cameras", "{robot_avoid_obstacle: {cameras_num: 3, pointcloud_input_source: 1}}"},
      {"three depth cameras", "{robot_avoid_obstacle: {cameras_num: 3}}"},
      {"no camera", "{robot_avoid_obstacle: {cameras_num: 0}}"},
      {"four cameras", "{robot_avoid_obstacle: {cameras_num: 4}}"},
      {"clouds closed", "{debug_mode: {close_obstacle_pointcloud_flag: true}}"},
      {"clouds closed without cameras",
       "{robot_avoid_obstacle: {cameras_num: 0, pointcloud_input_source: 0}, "
       "debug_mode: {close_obstacle_pointcloud_flag: true}}"},
      {"unknown source", "{robot_avoid_obstacle: {pointcloud_input_source: 3}}"},
      {"grab module off", "{grab_garbage_module: {grab_garbage_flag: false}}"},
      {"the model's only group under another name", "{robot_avoid_obstacle: {planned_joint_group: manipulator}}"},
      {"resolution not a number", "{point_clouds: {resolution: .nan}}"},
      {"scaled camera rotation",
       "{color_camera1: {camera_extrinsic: {data: [2, -1, 0, 0.5, 1, 0, 0, -0.25, 0, 0, 1, 1.125, 0, 0, 0, 1]}}}"},
      {"tool matrix last row",
       "{grab_garbage_module: {tool_matrix: {data: [1, 0, 0, 0.1, 0, 1, 0, 0, 0, 0, 1, 0.2, 0.5, 0, 0, 1]}}}"},
      {"box bounds crossed", "{point_clouds: {point_cloud_minx: 1.0}}"},
      {"configured group absent",
       "{robot_avoid_obstacle: {robot_descriptions_path: ./src/robot_avoid_obstacle/resources/robot_descriptions/"
       "arm6_description/, " + arm6_files + ", planned_joint_group: none}}"},
      {"collision mesh missing",
       "{robot_avoid_obstacle: {robot_descriptions_path: " + arm6 + "/, " + arm6_files + "}}"},
      // A key that cannot be read leaves only its own setting at the default.
      {"key absent", "{robot_avoid_obstacle: {cameras_num: ~}}"},
      {"key in another section", "{robot_avoid_obstacle: {resolution: 0.02}, point_clouds: {resolution: ~}}"},
      {"integer for a boolean", "{robot_avoid_obstacle: {real_robot_flag: 1}}"},
      {"fraction for an integer", "{robot_avoid_obstacle: {cameras_num: 2.5}}"},
      {"text for a number", "{point_clouds: {point_cloud_minx: left}}"},
      {"fifteen matrix numbers",
       "{color_camera2: {camera_extrinsic: {data: [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0]}}}"},
      {"intrinsic without k3",
       "{color_camera3: {camera_intrinsic: {fx: 400, cx: 160, fy: 400, cy: 120, k1: 0, k2: 0, p1: 0, p2: 0}}}"},
      {"section not a mapping", "{debug_mode: off}"},
  };
  const std::string banner = "\033[42m ==================para==================\033[0m\n";
  std::string report;
  for (const auto& [what, change] : rows) {
    InProcessNode node(fullTestConfig(change));
    const bool ready = node.node().isReady();
    // What the construction said before the settings printout (keys it could not read), after it (its last two lines
    // when the set-up cannot work, else its warnings and the camera set-up after the joint limits), and then the
    // entities.
    const std::string& output = node.output();
    report += std::string("== ") + what + "\n" + output.substr(0, output.find(banner));
    std::istringstream said(output.substr(output.rfind(banner) + banner.size()));
    std::vector<std::string> lines;
    bool after_limits = false;
    for (std::string line; std::getline(said, line);) {
      if (line.rfind("the ", 0) == 0 && line.find(" axis vmax:") != std::string::npos) {
        after_limits = true;
      } else if (!ready || after_limits || line.rfind("\033[41m", 0) == 0) {
        lines.push_back(line);
      }
    }
    for (size_t i = ready ? 0 : std::max<size_t>(lines.size(), 2) - 2; i < lines.size(); ++i) {
      report += lines[i] + "\n";
    }
    report += ready ? graphEndpoints() : "not ready\n";
    if (!ready) continue;
    rclcpp::Node& node1 = RosTwoWrapperTestAccess::node1(node.node());
    ASSERT_TRUE(node1.has_parameter("/robot_description")) << what;
    EXPECT_THROW(node1.get_parameter("/robot_description"), rclcpp::exceptions::ParameterUninitializedException);
  }
  EXPECT_EQ(report, readFile(testFile("golden/node_entities.txt")));
}

}  // namespace
