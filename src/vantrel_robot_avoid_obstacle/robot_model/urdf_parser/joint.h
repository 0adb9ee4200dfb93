#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "robot_model/urdf_parser/pose.h"

namespace urdf
{
struct JointLimits
{
  double lower = 0.0;
  double upper = 0.0;
  double effort = 0.0;
  double velocity = 0.0;
};

struct JointSafety
{
  double soft_upper_limit = 0.0;
  double soft_lower_limit = 0.0;
  double k_position = 0.0;
  double k_velocity = 0.0;
};

struct JointCalibration
{
  double reference_position = 0.0;
  std::shared_ptr<double> rising;
  std::shared_ptr<double> falling;
};

struct JointMimic
{
  double offset = 0.0;
  double multiplier = 1.0;
  std::string joint_name;
};

struct JointDynamics
{
  double damping = 0.0;
  double friction = 0.0;
};

struct Joint
{
  enum JointType : std::int32_t
  {
    UNKNOWN = 0,
    REVOLUTE = 1,
    CONTINUOUS = 2,
    PRISMATIC = 3,
    FLOATING = 4,
    PLANAR = 5,
    FIXED = 6
  };

  std::string name;
  JointType type = UNKNOWN;
  // In the joint frame, as written (not normalised).
  Vector3 axis;
  std::string child_link_name;
  std::string parent_link_name;
  Pose parent_to_joint_origin_transform;
  std::shared_ptr<JointDynamics> dynamics;
  std::shared_ptr<JointLimits> limits;
  std::shared_ptr<JointSafety> safety;
  std::shared_ptr<JointCalibration> calibration;
  std::shared_ptr<JointMimic> mimic;

  void clear() { *this = Joint(); }
};
}  // namespace urdf
