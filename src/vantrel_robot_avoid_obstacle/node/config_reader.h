#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include <Eigen/Core>

namespace YAML {
class Node;
}

// One camera's pinhole and distortion values, in the order fx, cx, fy, cy, k1, k2, p1, p2, k3.
using CameraIntrinsic = std::array<float, 9>;

// Loads the node's YAML settings once and keeps every value it could read, by setting name. A missing file, or
// a section or key that cannot be read, only leaves names out; the caller supplies the defaults. A file that
// exists but cannot be loaded leaves every name out and says why in loadError().
class ConfigReader {
 public:
  explicit ConfigReader(const std::string& path);
  ConfigReader(const ConfigReader&) = delete;
  ConfigReader& operator=(const ConfigReader&) = delete;

  // Why the file at the path could not be loaded (not a readable regular file, or the parser's message with its
  // line and column), naming the file; empty when it was loaded or does not exist.
  const std::string& loadError() const { return load_error_; }

  // 0 with `value` set to the address of the named setting inside the reader (valid while the reader lives);
  // -1 when nothing could be read at all, -2 for a name that was not read, each with its message and
  // `value` unchanged. The caller knows each name's type.
  int32_t getParam(const std::string& name, const void*& value) const;

 private:
  struct Camera {
    Eigen::Matrix4f extrinsic;
    CameraIntrinsic intrinsic{};
    std::string pointcloud_topic;
    std::string depth_topic;
  };

  void readAll(const YAML::Node& root);
  template <typename T>
  void read(const YAML::Node& root, const char* section, const char* key, const std::string& name, T& value);

  std::string path_;
  std::string load_error_;
  std::map<std::string, const void*> config_data_;

  bool real_robot_flag_ = false;
  int32_t cameras_num_ = 0;
  std::string robot_descriptions_path_;
  std::string urdf_path_;
  std::string srdf_path_;
  std::string planned_joint_group_;
  double robot_padding_ = 0.0;
  double robot_scale_ = 0.0;
  std::string robot_follow_joint_trajectory_topic_;
  std::string joints_state_topic_;
  double resolution_ = 0.0;
  std::array<double, 6> box_bounds_{};  // min x, max x, min y, max y, min z, max z
  std::array<Camera, 3> cameras_;
  bool print_joint_state_flag_ = false;
  bool print_debug_flag_ = false;
  bool close_obstacle_pointcloud_flag_ = false;
  bool grab_garbage_flag_ = false;
  std::string arm_move_joints_srv_name_;
  std::string arm_grab_srv_name_;
  std::string arm_release_srv_name_;
  Eigen::Matrix4d tool_matrix_;
  int32_t pointcloud_input_source_ = 0;
};
