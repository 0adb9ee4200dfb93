// The reader against the settings files a user may write: complete, damaged key by key, or not a settings file.
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "node/config_reader.h"
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

class ConfigReaderTest : public testing::Test {
 protected:
  ConfigReader& load(const YAML::Node& config) {
    workspace_.writeConfig(config);
    return loadPath();
  }
  ConfigReader& loadText(const std::string& text) {
    workspace_.writeConfigText(text);
    return loadPath();
  }
  ConfigReader& loadPath() {
    reader_ = std::make_unique<ConfigReader>(workspace_.path() + "/" + configPath());
    return *reader_;
  }
  static std::string configPath() { return "src/vantrel_robot_avoid_obstacle/config/config_params.yaml"; }

  // Looks every name up; returns the names missing and the lookups' console output.
  std::set<std::string> missingNames(std::string& output) const {
    std::set<std::string> missing;
    testing::internal::CaptureStdout();
    for (const std::string& name : kAllNames) {
      const void* value = nullptr;
      if (reader_->getParam(name, value) != 0) missing.insert(name);
    }
    output = testing::internal::GetCapturedStdout();
    return missing;
  }

  template <typename T>
  const T& value(const std::string& name) const {
    const void* address = nullptr;
    EXPECT_EQ(reader_->getParam(name, address), 0) << name;
    return *static_cast<const T*>(address);
  }

  NodeWorkspace workspace_;
  std::unique_ptr<ConfigReader> reader_;
};

TEST_F(ConfigReaderTest, NothingReadableMeansAnEmptyRegistry) {
  const std::vector<std::pair<const char*, std::function<ConfigReader&()>>> files = {
      {"no file", [&]() -> ConfigReader& { return loadPath(); }},
      {"empty file", [&]() -> ConfigReader& { return loadText(""); }},
      {"scalar root", [&]() -> ConfigReader& { return loadText("just text\n"); }},
      {"sequence root", [&]() -> ConfigReader& { return loadText("- robot_avoid_obstacle\n- point_clouds\n"); }},
      {"broken YAML", [&]() -> ConfigReader& { return loadText("robot_avoid_obstacle: {real_robot_flag: [\n"); }}};
  for (const auto& [what, make] : files) {
    const ConfigReader& reader = make();
    const void* untouched = &files;
    testing::internal::CaptureStdout();
    const int result = reader.getParam("resolution", untouched);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "config_data_ size is 0 error!\n") << what;
    EXPECT_EQ(result, -1) << what;
    EXPECT_EQ(untouched, &files) << what;
  }
}

TEST_F(ConfigReaderTest, CompleteFileEntersEveryNameWithItsValue) {
  load(fullTestConfig());
  std::string output;
  EXPECT_TRUE(missingNames(output).empty());
  EXPECT_EQ(output, "");

  EXPECT_TRUE(value<bool>("real_robot_flag"));  // written "yes"
  EXPECT_TRUE(value<bool>("print_debug_flag"));  // written "on"
  EXPECT_EQ(value<int32_t>("cameras_num"), 2);
  EXPECT_EQ(value<double>("point_cloud_maxz"), 1.25);
  EXPECT_EQ(value<std::string>("camera2_depth_topic"), "/cam_b/depth");
  const auto& tool = value<Eigen::Matrix4d>("tool_matrix");
  EXPECT_TRUE(tool.col(3) == Eigen::Vector4d(0.1, 0, 0.2, 1)) << tool;
  EXPECT_TRUE((tool.topLeftCorner<3, 3>().isIdentity(0.0))) << tool;
  // Row by row; the seventeenth number of camera 2 is ignored.
  const auto& camera1 = value<Eigen::Matrix4f>("camera1_to_robot_base");
  EXPECT_EQ(camera1(0, 1), -1.0f);
  EXPECT_EQ(camera1(1, 0), 1.0f);
  EXPECT_EQ(camera1(2, 3), 1.125f);
  const auto& camera2 = value<Eigen::Matrix4f>("camera2_to_robot_base");
  EXPECT_TRUE(camera2.row(3) == Eigen::RowVector4f(0, 0, 0, 1)) << camera2;
  EXPECT_EQ(camera2(1, 2), -1.0f);
  const CameraIntrinsic expected = {610.5f, 321.25f, 611.75f, 239.5f, 0.1f, -0.2f, 0.001f, -0.002f, 0.05f};
  EXPECT_EQ(value<CameraIntrinsic>("camera1_intrinsic"), expected);

  const void* untouched = nullptr;
  testing::internal::CaptureStdout();
  const int result = reader_->getParam("unknown_key", untouched);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "we can not find <unknown_key> para. \n");
  EXPECT_EQ(result, -2);
  EXPECT_EQ(untouched, nullptr);
}

TEST_F(ConfigReaderTest, AnUnreadableKeyLeavesOnlyItsNameOut) {
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
      {"sequence for a text", [](YAML::Node& c) { c["robot_avoid_obstacle"]["urdf_path"] = std::vector<std::string>{"a"}; },
       {"urdf_path"}},
      {"fifteen matrix numbers",
       [](YAML::Node& c) {
         YAML::Node data = c["color_camera2"]["camera_extrinsic"]["data"];
         while (data.size() > 15) data.remove(data.size() - 1);
       },
       {"camera2_to_robot_base"}},
      {"text among the matrix numbers", [](YAML::Node& c) { c["color_camera1"]["camera_extrinsic"]["data"][5] = "x"; },
       {"camera1_to_robot_base"}},
      {"matrix without data", [](YAML::Node& c) { c["grab_garbage_module"]["tool_matrix"] = 1.0; }, {"tool_matrix"}},
      {"intrinsic without k3", [](YAML::Node& c) { c["color_camera3"]["camera_intrinsic"].remove("k3"); },
       {"camera3_intrinsic"}},
      {"section not a mapping", [](YAML::Node& c) { c["debug_mode"] = "off"; },
       {"print_joint_state_flag", "print_debug_flag", "close_obstacle_pointcloud_flag"}},
  };
  for (const Damage& damage : damages) {
    YAML::Node config = fullTestConfig();
    damage.apply(config);
    load(config);
    std::string output;
    EXPECT_EQ(missingNames(output), damage.missing) << damage.what;
    std::string expected;
    for (const std::string& name : kAllNames) {
      if (damage.missing.count(name)) expected += "we can not find <" + name + "> para. \n";
    }
    EXPECT_EQ(output, expected) << damage.what;
  }
}

TEST_F(ConfigReaderTest, EmptyTextValueReadsAsNull) {
  loadText("robot_avoid_obstacle:\n  urdf_path:\n  srdf_path: ~\n");
  EXPECT_EQ(value<std::string>("urdf_path"), "null");
  EXPECT_EQ(value<std::string>("srdf_path"), "null");
}

}  // namespace
