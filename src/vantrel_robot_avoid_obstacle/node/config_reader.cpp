#include "node/config_reader.h"

#include <cerrno>
#include <cstdio>

#include <yaml-cpp/yaml.h>

#include "robot_model/shapes/regular_file.h"

namespace {

// Booleans, integers and numbers as yaml-cpp converts them: "1" is no boolean, "2.5" no integer.
template <typename T>
bool convert(const YAML::Node& node, T& value) {
  if (!node.IsDefined() || !node.IsScalar()) return false;
  value = node.as<T>();
  return true;
}

// An empty value (YAML null) reads as the text "null".
bool convert(const YAML::Node& node, std::string& value) {
  if (node.IsDefined() && node.IsNull()) {
    value = "null";
    return true;
  }
  if (!node.IsDefined() || !node.IsScalar()) return false;
  value = node.as<std::string>();
  return true;
}

// {data: [16 numbers, row by row]}; entries after the sixteenth are ignored. All or nothing.
template <typename Scalar>
bool convert(const YAML::Node& node, Eigen::Matrix<Scalar, 4, 4>& matrix) {
  if (!node.IsDefined() || !node.IsMap()) return false;
  const YAML::Node data = node["data"];
  if (!data.IsDefined() || !data.IsSequence() || data.size() < 16) return false;
  Eigen::Matrix<Scalar, 4, 4> read;
  for (int k = 0; k < 16; ++k) read(k / 4, k % 4) = data[k].as<Scalar>();
  matrix = read;
  return true;
}

bool convert(const YAML::Node& node, CameraIntrinsic& intrinsic) {
  static const char* const kKeys[] = {"fx", "cx", "fy", "cy", "k1", "k2", "p1", "p2", "k3"};
  if (!node.IsDefined() || !node.IsMap()) return false;
  CameraIntrinsic read{};
  for (std::size_t i = 0; i < read.size(); ++i) read[i] = node[kKeys[i]].as<float>();
  intrinsic = read;
  return true;
}

}  // namespace

ConfigReader::ConfigReader(const std::string& path) : path_(path) {
  const regular_file::FileText file = regular_file::read(path_);
  if (file.open_error == ENOENT) return;
  if (!file.error.empty()) {
    load_error_ = "configuration file " + path_ + ": " + file.error;
    return;
  }
  YAML::Node root;
  try {
    root = YAML::Load(file.text);
  } catch (const YAML::Exception& e) {
    load_error_ = "configuration file " + path_;
    if (!e.mark.is_null()) {
      load_error_ += ", line " + std::to_string(e.mark.line + 1) + ", column " + std::to_string(e.mark.column + 1);
    }
    load_error_ += ": " + e.msg;
    return;
  }
  if (root.IsMap()) readAll(root);
}

void ConfigReader::readAll(const YAML::Node& root) {
  static const char* const kRobot = "robot_avoid_obstacle";
  static const char* const kClouds = "point_clouds";
  read(root, kRobot, "real_robot_flag", "real_robot_flag", real_robot_flag_);
  read(root, kRobot, "cameras_num", "cameras_num", cameras_num_);
  read(root, kRobot, "robot_descriptions_path", "robot_descriptions_path", robot_descriptions_path_);
  read(root, kRobot, "urdf_path", "urdf_path", urdf_path_);
  read(root, kRobot, "srdf_path", "srdf_path", srdf_path_);
  read(root, kRobot, "planned_joint_group", "planned_joint_group", planned_joint_group_);
  read(root, kClouds, "resolution", "resolution", resolution_);
  static const char* const kBoundKeys[] = {"point_cloud_minx", "point_cloud_maxx", "point_cloud_miny",
                                           "point_cloud_maxy", "point_cloud_minz", "point_cloud_maxz"};
  for (std::size_t i = 0; i < box_bounds_.size(); ++i) read(root, kClouds, kBoundKeys[i], kBoundKeys[i], box_bounds_[i]);
  read(root, kRobot, "robot_follow_joint_trajectory_topic", "robot_follow_joint_trajectory_topic",
       robot_follow_joint_trajectory_topic_);
  read(root, kRobot, "joints_state_topic", "joints_state_topic", joints_state_topic_);
  for (int i = 0; i < 3; ++i) {
    const std::string camera = "camera" + std::to_string(i + 1);
    const std::string section = "color_" + camera;
    Camera& settings = cameras_[i];
    read(root, section.c_str(), "camera_extrinsic", camera + (i < 2 ? "_to_robot_base" : "_to_robot_tcp"),
         settings.extrinsic);
    read(root, section.c_str(), "camera_intrinsic", camera + "_intrinsic", settings.intrinsic);
    read(root, section.c_str(), "ros2_topic", camera + "_pointcloud_topic", settings.pointcloud_topic);
    read(root, section.c_str(), "depth_topic", camera + "_depth_topic", settings.depth_topic);
  }
  read(root, kRobot, "robot_padding", "robot_padding", robot_padding_);
  read(root, kRobot, "robot_scale", "robot_scale", robot_scale_);
  static const char* const kDebug = "debug_mode";
  read(root, kDebug, "print_joint_state_flag", "print_joint_state_flag", print_joint_state_flag_);
  read(root, kDebug, "print_debug_flag", "print_debug_flag", print_debug_flag_);
  read(root, kDebug, "close_obstacle_pointcloud_flag", "close_obstacle_pointcloud_flag",
       close_obstacle_pointcloud_flag_);
  static const char* const kGrab = "grab_garbage_module";
  read(root, kGrab, "grab_garbage_flag", "grab_garbage_flag", grab_garbage_flag_);
  read(root, kGrab, "arm_move_joints_srv_name", "arm_move_joints_srv_name", arm_move_joints_srv_name_);
  read(root, kGrab, "arm_grab_srv_name", "arm_grab_srv_name", arm_grab_srv_name_);
  read(root, kGrab, "arm_release_srv_name", "arm_release_srv_name", arm_release_srv_name_);
  read(root, kGrab, "tool_matrix", "tool_matrix", tool_matrix_);
  read(root, kRobot, "pointcloud_input_source", "pointcloud_input_source", pointcloud_input_source_);
}

// A key that is absent or does not convert to its type is left out of the registry.
template <typename T>
void ConfigReader::read(const YAML::Node& root, const char* section, const char* key, const std::string& name,
                        T& value) {
  try {
    const YAML::Node section_node = root[section];
    if (!section_node.IsDefined() || !section_node.IsMap()) return;
    if (convert(section_node[key], value)) config_data_[name] = &value;
  } catch (const YAML::Exception&) {
  }
}

int32_t ConfigReader::getParam(const std::string& name, const void*& value) const {
  if (config_data_.empty()) {
    puts("config_data_ size is 0 error!");
    return -1;
  }
  const auto entry = config_data_.find(name);
  if (entry == config_data_.end()) {
    printf("we can not find <%s> para. \n", name.c_str());
    return -2;
  }
  value = entry->second;
  return 0;
}
