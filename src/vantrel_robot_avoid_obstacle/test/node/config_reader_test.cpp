// The reader against the settings files a user may write: damaged key by key, or not a settings file.
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "node/config_reader.h"
#include "node/ros_two_wrapper.h"
#include "support/node_workspace.h"

namespace {

const std::vector<std::string> kAllNames = {
    "real_robot_flag", "cameras_num", "robot_descriptions_path", "urdf_path", "srdf_path", "planned_joint_group",
    "robot_follow_joint_trajectory_topic", "joints_state_topic", "robot_padding", "robot_scale",
    "pointcloud_input_source", "resolution", "point_cloud_minx", "point_cloud_maxx", "point_cloud_miny",
    "point_cloud_maxy", "point_cloud_minz", "point_cloud_maxz", "camera1_to_robot_base", "camera1_intrinsic",
    "camera1_pointcloud_topic", "camera1_depth_topic", "camera2_to_robot_base", "camera2_intrinsic",
    "camera2_pointcloud_topic", "camera2_depth_topic", "camera3_to_robot_tcp", "camera3_intrinsic",
    "camera3_pointcloud_topic", "camera3_depth_topic", "print_joint_state_flag", "print_debug_flag",
    "close_obstacle_pointcloud_flag", "grab_garbage_flag", "arm_move_joints_srv_name", "arm_grab_srv_name",
    "arm_release_srv_name", "tool_matrix"};

// Looks every name up in the working directory's configuration: the names that failed and what was printed.
std::set<std::string> missingNames(std::string& printed) {
  const ConfigReader reader(RosTwoWrapper::kConfigPath);
  std::set<std::string> missing;
  testing::internal::CaptureStdout();
  for (const std::string& name : kAllNames) {
    const void* value = nullptr;
    if (reader.getParam(name, value) != 0) missing.insert(name);
  }
  printed = testing::internal::GetCapturedStdout();
  return missing;
}

TEST(ConfigReader, NoSettingsInTheFileLeavesTheRegistryEmpty) {
  std::string expected;
  for (size_t i = 0; i < kAllNames.size(); ++i) expected += "config_data_ size is 0 error!\n";
  for (const char* text : {"just text\n", "a: {b: [\n"}) {
    NodeWorkspace workspace;
    workspace.writeConfigText(text);
    std::string printed;
    EXPECT_EQ(missingNames(printed).size(), kAllNames.size()) << text;
    EXPECT_EQ(printed, expected) << text;
  }
}

TEST(ConfigReader, AnUnreadableKeyLeavesOnlyItsNameOut) {
  struct Damage {
    const char* what;
    std::function<void(YAML::Node&)> apply;
    std::set<std::string> missing;
  };
  const std::vector<Damage> damages = {
      {"key absent", [](YAML::Node& c) { c["robot_avoid_obstacle"].remove("cameras_num"); }, {"cameras_num"}},
      {"key in another section",
       [](YAML::Node& c) {
         c["robot_avoid_obstacle"]["resolution"] = 0.02;
         c["point_clouds"].remove("resolution");
       },
       {"resolution"}},
      {"integer for a boolean", [](YAML::Node& c) { c["robot_avoid_obstacle"]["real_robot_flag"] = 1; },
       {"real_robot_flag"}},
      {"fraction for an integer", [](YAML::Node& c) { c["robot_avoid_obstacle"]["cameras_num"] = 2.5; },
       {"cameras_num"}},
      {"text for a number", [](YAML::Node& c) { c["point_clouds"]["point_cloud_minx"] = "left"; },
       {"point_cloud_minx"}},
      {"fifteen matrix numbers",
       [](YAML::Node& c) { c["color_camera2"]["camera_extrinsic"]["data"] = std::vector<double>(15, 0.0); },
       {"camera2_to_robot_base"}},
      {"intrinsic without k3", [](YAML::Node& c) { c["color_camera3"]["camera_intrinsic"].remove("k3"); },
       {"camera3_intrinsic"}},
      {"section not a mapping", [](YAML::Node& c) { c["debug_mode"] = "off"; },
       {"print_joint_state_flag", "print_debug_flag", "close_obstacle_pointcloud_flag"}},
  };
  for (const Damage& damage : damages) {
    NodeWorkspace workspace;
    YAML::Node config = fullTestConfig();
    damage.apply(config);
    workspace.writeConfig(config);
    std::string printed;
    EXPECT_EQ(missingNames(printed), damage.missing) << damage.what;
    std::string expected;
    for (const std::string& name : kAllNames) {
      if (damage.missing.count(name)) expected += "we can not find <" + name + "> para. \n";
    }
    EXPECT_EQ(printed, expected) << damage.what;
  }
}

}  // namespace
