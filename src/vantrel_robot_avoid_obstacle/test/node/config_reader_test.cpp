// The reader against the settings files a user may write: damaged key by key, or not a settings file.
#include <sstream>
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

// What looking every name up in the working directory's configuration prints: a message for each name not read.
std::string lookUpAll() {
  const ConfigReader reader(RosTwoWrapper::kConfigPath);
  testing::internal::CaptureStdout();
  for (const std::string& name : kAllNames) {
    const void* value = nullptr;
    reader.getParam(name, value);
  }
  return testing::internal::GetCapturedStdout();
}

TEST(ConfigReader, AnUnreadableKeyLeavesOnlyItsNameOutAndAFileWithoutSettingsEveryName) {
  // The change to the test configuration, and the names it leaves out.
  const std::vector<std::pair<std::string, std::string>> damages = {
      {"{robot_avoid_obstacle: {cameras_num: ~}}", "cameras_num"},
      {"{robot_avoid_obstacle: {resolution: 0.02}, point_clouds: {resolution: ~}}", "resolution"},
      {"{robot_avoid_obstacle: {real_robot_flag: 1}}", "real_robot_flag"},
      {"{robot_avoid_obstacle: {cameras_num: 2.5}}", "cameras_num"},
      {"{point_clouds: {point_cloud_minx: left}}", "point_cloud_minx"},
      {"{color_camera2: {camera_extrinsic: {data: [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0]}}}",
       "camera2_to_robot_base"},
      {"{color_camera3: {camera_intrinsic: {fx: 400, cx: 160, fy: 400, cy: 120, k1: 0, k2: 0, p1: 0, p2: 0}}}",
       "camera3_intrinsic"},
      {"{debug_mode: off}", "print_joint_state_flag print_debug_flag close_obstacle_pointcloud_flag"},
  };
  for (const auto& [change, missing] : damages) {
    NodeWorkspace workspace;
    workspace.writeConfig(fullTestConfig(change));
    std::string expected;
    std::istringstream names(missing);
    for (std::string name; names >> name;) expected += "we can not find <" + name + "> para. \n";
    EXPECT_EQ(lookUpAll(), expected) << change;
  }
  std::string expected;
  for (size_t i = 0; i < kAllNames.size(); ++i) expected += "config_data_ size is 0 error!\n";
  for (const char* text : {"just text\n", "a: {b: [\n"}) {
    NodeWorkspace workspace;
    workspace.writeConfigText(text);
    EXPECT_EQ(lookUpAll(), expected) << text;
  }
}

}  // namespace
