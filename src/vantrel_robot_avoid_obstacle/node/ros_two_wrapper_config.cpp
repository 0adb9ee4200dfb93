// Settings: copied from the reader with their defaults, printed, and checked for values that cannot work.
#include <cmath>
#include <cstdio>
#include <iostream>

#include "node/obstacle_octree.h"
#include "node/ros_two_wrapper.h"

namespace {

const char* const kBanner = "\033[42m ==================para==================\033[0m";

Eigen::Matrix4f rowMajor(std::initializer_list<float> values) {
  Eigen::Matrix4f matrix;
  auto value = values.begin();
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) matrix(row, column) = *value++;
  return matrix;
}

const Eigen::Matrix4f kCamera1ToRobotBase =
    rowMajor({-0.013954f, 0.07791f, -0.996863f, -0.0675956f, 0.999505f, -0.0270414f, -0.0161044f, -0.276547f,
              -0.0282113f, -0.996594f, -0.077494f, 0.485914f, 0.0f, 0.0f, 0.0f, 1.0f});
const Eigen::Matrix4f kCamera2ToRobotBase =
    rowMajor({-0.0108657f, 0.790284f, -0.612644f, -0.0880592f, 0.999781f, -0.00238063f, -0.0208027f, -0.27881f,
              -0.0178986f, -0.612736f, -0.790085f, 0.428541f, 0.0f, 0.0f, 0.0f, 1.0f});
const Eigen::Matrix4f kCamera3ToRobotTcp =
    rowMajor({0.0486913f, -0.998812f, -0.00200422f, 0.0640325f, 0.998118f, 0.0487322f, -0.0372189f, -0.0108591f,
              0.0372724f, -0.000188211f, 0.999305f, 0.0500725f, 0.0f, 0.0f, 0.0f, 1.0f});

// The named setting, or `fallback` when the reader has none (the reader prints why).
template <typename T>
void copySetting(const ConfigReader& reader, const char* name, T& member, const T& fallback) {
  const void* value = nullptr;
  member = reader.getParam(name, value) == 0 ? *static_cast<const T*>(value) : fallback;
}

// Intrinsics have no default: without them the camera stays unconfigured and its values zero.
bool copyIntrinsic(const ConfigReader& reader, int camera, CameraIntrinsic& member) {
  const void* value = nullptr;
  if (reader.getParam("camera" + std::to_string(camera) + "_intrinsic", value) == 0) {
    member = *static_cast<const CameraIntrinsic*>(value);
    return true;
  }
  printf("you don not have camera%d intrinsic\n", camera);
  return false;
}

void printCamera(int camera, const std::string& pointcloud_topic, const std::string& depth_topic,
                 const char* extrinsic_name, const Eigen::Matrix4f& extrinsic, const CameraIntrinsic& intrinsic) {
  printf("camera%d_pointcloud_topic_=%s\n", camera, pointcloud_topic.c_str());
  printf("camera%d_depth_topic_=%s\n", camera, depth_topic.c_str());
  std::cout << extrinsic_name << ":" << std::endl << extrinsic << std::endl;
  printf("camera%d_intrinsic_:[fx=%lf,cx=%lf,fy=%lf,cy=%lf]\n", camera, intrinsic[0], intrinsic[1], intrinsic[2],
         intrinsic[3]);
  printf("camera%d_intrinsic_:[k1=%lf,k2=%lf,p1=%lf,p2=%lf,k3=%lf]\n", camera, intrinsic[4], intrinsic[5],
         intrinsic[6], intrinsic[7], intrinsic[8]);
}

// Orthonormal rotation block with determinant +1 and a last row of 0 0 0 1, all entries finite. The tolerance
// keeps a calibration written with four decimals (about 1e-4 off) and still refuses a scale of 1%.
template <typename Scalar>
bool isRigidTransform(const Eigen::Matrix<Scalar, 4, 4>& matrix) {
  constexpr double kTolerance = 1e-3;
  const Eigen::Matrix4d transform = matrix.template cast<double>();
  if (!transform.allFinite()) return false;
  const Eigen::Matrix3d rotation = transform.topLeftCorner<3, 3>();
  const double deviation = (rotation.transpose() * rotation - Eigen::Matrix3d::Identity()).cwiseAbs().maxCoeff();
  const double last_row_deviation = (transform.row(3) - Eigen::RowVector4d(0, 0, 0, 1)).cwiseAbs().maxCoeff();
  return deviation <= kTolerance && last_row_deviation <= kTolerance && rotation.determinant() > 0.0;
}

template <typename Scalar>
bool checkRigid(const char* name, const Eigen::Matrix<Scalar, 4, 4>& matrix) {
  if (isRigidTransform(matrix)) return true;
  printf("\033[41m %s is not a rigid transform!\033[0m\n", name);
  return false;
}

bool checkValue(const std::string& name, double value, bool possible, const char* expected) {
  if (possible) return true;
  printf("\033[41m %s=%lf is not %s!\033[0m\n", name.c_str(), value, expected);
  return false;
}

bool isPositive(double value) { return std::isfinite(value) && value > 0.0; }

bool checkBounds(const char* axis, double min, double max) {
  if (min <= max) return true;
  printf("\033[41m point_cloud_min%s_=%lf is greater than point_cloud_max%s_=%lf!\033[0m\n", axis, min, axis, max);
  return false;
}

// A camera setting no camera entities can be made for: the set-up's own line, then the key and its value.
bool checkCameraSetting(bool possible, const char* line, const char* name, int value, const char* expected) {
  if (possible) return true;
  puts(line);
  printf("\033[41m %s=%d is not %s!\033[0m\n", name, value, expected);
  return false;
}

// The depth images of a camera become points through its focal lengths and principal point.
bool checkDepthIntrinsic(int camera, const CameraIntrinsic& intrinsic) {
  const std::string name = "camera" + std::to_string(camera) + "_intrinsic_:";
  bool possible = checkValue(name + "fx", intrinsic[0], isPositive(intrinsic[0]), "a positive focal length");
  possible &= checkValue(name + "cx", intrinsic[1], std::isfinite(intrinsic[1]), "a finite principal point");
  possible &= checkValue(name + "fy", intrinsic[2], isPositive(intrinsic[2]), "a positive focal length");
  possible &= checkValue(name + "cy", intrinsic[3], std::isfinite(intrinsic[3]), "a finite principal point");
  return possible;
}

}  // namespace

void RosTwoWrapper::readConfigParams() {
  const ConfigReader& reader = *config_reader_ptr_;
  copySetting(reader, "real_robot_flag", real_robot_flag_, false);
  copySetting(reader, "cameras_num", cameras_num_, 3);
  copySetting(reader, "resolution", resolution_, 0.005);
  copySetting(reader, "robot_descriptions_path", robot_descriptions_path_,
              std::string("./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/"));
  copySetting(reader, "urdf_path", urdf_path_, std::string("urdf/arm6_and_whole_gripper_linker_shim_camera.urdf"));
  copySetting(reader, "srdf_path", srdf_path_, std::string("srdf/arm6_and_whole_gripper_linker.srdf"));
  copySetting(reader, "planned_joint_group", planned_joint_group_, std::string("arm"));
  copySetting(reader, "point_cloud_minx", point_cloud_minx_, -0.85);
  copySetting(reader, "point_cloud_maxx", point_cloud_maxx_, 0.85);
  copySetting(reader, "point_cloud_miny", point_cloud_miny_, -0.85);
  copySetting(reader, "point_cloud_maxy", point_cloud_maxy_, 0.85);
  copySetting(reader, "point_cloud_minz", point_cloud_minz_, -0.85);
  copySetting(reader, "point_cloud_maxz", point_cloud_maxz_, 0.85);

  camera_to_robot_base_ = Eigen::Matrix4f::Identity();

  copySetting(reader, "camera1_to_robot_base", camera1_to_robot_base_, kCamera1ToRobotBase);
  copySetting(reader, "camera1_pointcloud_topic", camera1_pointcloud_topic_,
              std::string("/berxel_camera1/berxel_camera1/depth/berxel_cloudpoint"));
  copySetting(reader, "camera2_to_robot_base", camera2_to_robot_base_, kCamera2ToRobotBase);
  copySetting(reader, "camera2_pointcloud_topic", camera2_pointcloud_topic_,
              std::string("/berxel_camera2/berxel_camera2/depth/berxel_cloudpoint"));
  copySetting(reader, "camera3_to_robot_tcp", camera3_to_robot_tcp_, kCamera3ToRobotTcp);
  copySetting(reader, "camera3_pointcloud_topic", camera3_pointcloud_topic_,
              std::string("/berxel_camera3/berxel_camera3/depth/berxel_cloudpoint"));
  copySetting(reader, "robot_padding", robot_padding_, 0.01);
  copySetting(reader, "robot_scale", robot_scale_, 1.0);
  copySetting(reader, "print_joint_state_flag", print_joint_state_flag_, false);
  copySetting(reader, "print_debug_flag", print_debug_flag_, false);
  copySetting(reader, "close_obstacle_pointcloud_flag", close_obstacle_pointcloud_flag_, false);
  copySetting(reader, "grab_garbage_flag", grab_garbage_flag_, false);
  copySetting(reader, "arm_move_joints_srv_name", arm_move_joints_srv_name_, std::string("/arm_move_joints"));
  copySetting(reader, "arm_grab_srv_name", arm_grab_srv_name_, std::string("/arm_grab"));
  copySetting(reader, "arm_release_srv_name", arm_release_srv_name_, std::string("/arm_release"));
  copySetting(reader, "tool_matrix", tool_matrix_, Eigen::Matrix4d(Eigen::Matrix4d::Identity()));
  copySetting(reader, "pointcloud_input_source", pointcloud_input_source_, 1);
  copySetting(reader, "camera1_depth_topic", camera1_depth_topic_,
              std::string("/berxel_camera1/berxel_camera1/depth/depth_raw"));
  copySetting(reader, "camera2_depth_topic", camera2_depth_topic_,
              std::string("/berxel_camera2/berxel_camera2/depth/depth_raw"));
  copySetting(reader, "camera3_depth_topic", camera3_depth_topic_,
              std::string("/berxel_camera3/berxel_camera3/depth/depth_raw"));

  camera_intrinsic_configured_[0] = copyIntrinsic(reader, 1, camera1_intrinsic_);
  camera_intrinsic_configured_[1] = copyIntrinsic(reader, 2, camera2_intrinsic_);
  camera_intrinsic_configured_[2] = copyIntrinsic(reader, 3, camera3_intrinsic_);

  copySetting(reader, "robot_follow_joint_trajectory_topic", robot_follow_joint_trajectory_topic_,
              std::string("/arm6/follow_joint_trajectory"));
  copySetting(reader, "joints_state_topic", joints_state_topic_, std::string("/joint_states"));

  grab_object_padding_ = 0.01;
  grab_object_scale_ = 1.0;
}

void RosTwoWrapper::printConfigParams() const {
  std::cout << kBanner << std::endl;
  printf("real_robot_flag_=%d\n", real_robot_flag_);
  printf("cameras_num_=%d\n", cameras_num_);
  printf("pointcloud_input_source_=%d\n", pointcloud_input_source_);
  printf("resolution_=%lf\n", resolution_);
  printf("robot_descriptions_path_=%s\n", robot_descriptions_path_.c_str());
  printf("urdf_path_=%s\n", urdf_path_.c_str());
  printf("srdf_path_=%s\n", srdf_path_.c_str());
  printf("planned_joint_group_=%s\n", planned_joint_group_.c_str());
  printf("robot_padding_=%lf\n", robot_padding_);
  printf("robot_scale_=%lf\n", robot_scale_);
  printf("point_cloud_minx_=%lf\n", point_cloud_minx_);
  printf("point_cloud_maxx_=%lf\n", point_cloud_maxx_);
  printf("point_cloud_miny_=%lf\n", point_cloud_miny_);
  printf("point_cloud_maxy_=%lf\n", point_cloud_maxy_);
  printf("point_cloud_minz_=%lf\n", point_cloud_minz_);
  printf("point_cloud_maxz_=%lf\n", point_cloud_maxz_);
  printf("print_joint_state_flag_=%d\n", print_joint_state_flag_);
  printf("print_debug_flag_=%d\n", print_debug_flag_);
  printf("close_obstacle_pointcloud_flag_=%d\n", close_obstacle_pointcloud_flag_);
  printf("grab_garbage_flag_=%d\n", grab_garbage_flag_);
  printf("arm_move_joints_srv_name_=%s\n", arm_move_joints_srv_name_.c_str());
  printf("arm_grab_srv_name_=%s\n", arm_grab_srv_name_.c_str());
  printf("arm_release_srv_name_=%s\n", arm_release_srv_name_.c_str());
  std::cout << "tool_matrix_:" << std::endl << tool_matrix_ << std::endl;
  printf("robot_follow_joint_trajectory_topic_=%s\n", robot_follow_joint_trajectory_topic_.c_str());
  printf("joints_state_topic_=%s\n", joints_state_topic_.c_str());
  printCamera(1, camera1_pointcloud_topic_, camera1_depth_topic_, "camera1_to_robot_base_", camera1_to_robot_base_,
              camera1_intrinsic_);
  printCamera(2, camera2_pointcloud_topic_, camera2_depth_topic_, "camera2_to_robot_base_", camera2_to_robot_base_,
              camera2_intrinsic_);
  printCamera(3, camera3_pointcloud_topic_, camera3_depth_topic_, "camera3_to_robot_tcp_", camera3_to_robot_tcp_,
              camera3_intrinsic_);
  std::cout << kBanner << std::endl;
}

bool RosTwoWrapper::checkConfigParams() const {
  bool possible = checkValue("resolution_", resolution_, isPositive(resolution_), "a positive octree resolution");
  possible &= checkValue("robot_padding_", robot_padding_, std::isfinite(robot_padding_) && robot_padding_ >= 0.0,
                         "a finite padding of zero or more");
  possible &= checkValue("robot_scale_", robot_scale_, isPositive(robot_scale_), "a positive scale");
  possible &= checkRigid("camera1_to_robot_base_", camera1_to_robot_base_);
  possible &= checkRigid("camera2_to_robot_base_", camera2_to_robot_base_);
  possible &= checkRigid("camera3_to_robot_tcp_", camera3_to_robot_tcp_);
  possible &= checkRigid("tool_matrix_", tool_matrix_);
  bool box_possible = checkBounds("x", point_cloud_minx_, point_cloud_maxx_);
  box_possible &= checkBounds("y", point_cloud_miny_, point_cloud_maxy_);
  box_possible &= checkBounds("z", point_cloud_minz_, point_cloud_maxz_);
  possible &= box_possible;
  // Points outside the octree's cube cannot enter the obstacle map: the whole filter box must lie inside it.
  if (box_possible && isPositive(resolution_)) {
    const octomap::OcTree cube(resolution_);
    if (!octreeCubeContains(cube, point_cloud_minx_, point_cloud_miny_, point_cloud_minz_) ||
        !octreeCubeContains(cube, point_cloud_maxx_, point_cloud_maxy_, point_cloud_maxz_)) {
      printf("\033[41m resolution_=%lf gives an octree of +-%lf m, too small for the point cloud box "
             "[%lf, %lf] x [%lf, %lf] x [%lf, %lf]!\033[0m\n",
             resolution_, octreeCubeHalfEdge(cube), point_cloud_minx_, point_cloud_maxx_, point_cloud_miny_,
             point_cloud_maxy_, point_cloud_minz_, point_cloud_maxz_);
      possible = false;
    }
  }
  // On the real robot the cameras are the only obstacle input, unless the obstacle cloud is closed on purpose:
  // without camera entities the arm would move blind.
  const bool cameras_used = real_robot_flag_ && !close_obstacle_pointcloud_flag_;
  if (cameras_used) {
    possible &= checkCameraSetting(cameras_num_ >= 1 && cameras_num_ <= 3, "cameras_num init error!", "cameras_num_",
                                   cameras_num_, "a camera count from 1 to 3");
    possible &= checkCameraSetting(pointcloud_input_source_ == 1 || pointcloud_input_source_ == 2,
                                   "pointcloud input source error", "pointcloud_input_source_",
                                   pointcloud_input_source_, "1 (point clouds) or 2 (depth images)");
  }
  // Cameras that deliver depth images.
  const bool depth_cameras = cameras_used && pointcloud_input_source_ == 2 && cameras_num_ <= 3;
  const CameraIntrinsic* intrinsics[] = {&camera1_intrinsic_, &camera2_intrinsic_, &camera3_intrinsic_};
  for (int camera = 1; depth_cameras && camera <= cameras_num_; ++camera) {
    possible &= checkDepthIntrinsic(camera, *intrinsics[camera - 1]);
  }
  return possible;
}
