#include "grab/grab_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>

#include <Eigen/Geometry>
#include <Eigen/LU>

namespace
{
constexpr double kOneDegree = 0.017453292519943295;
constexpr double kHalfPi = 1.5707963267948966;
const Eigen::Vector3d kWorldUp = Eigen::Vector3d::UnitZ();
}  // namespace

bool unitNormal(const Eigen::Vector3d& a, const Eigen::Vector3d& b, Eigen::Vector3d& out)
{
  const Eigen::Vector3d normal = a.cross(b);
  const double length = normal.norm();
  if (!(length > 0.0) || !std::isfinite(length))
  {
    out.setZero();
    return false;
  }
  out = normal / length;
  return true;
}

Eigen::Matrix4d offsetPoseTranslation(const Eigen::Matrix4d& pose, double distance, double angle)
{
  Eigen::Matrix4d result = pose;
  const Eigen::Vector3d position = pose.topRightCorner<3, 1>();
  // Horizontal unit vector from the position towards the base axis; zero on the axis itself.
  Eigen::Vector3d tangent;
  Eigen::Vector3d towards_axis;
  unitNormal(position, kWorldUp, tangent);
  unitNormal(tangent, kWorldUp, towards_axis);
  result.topRightCorner<3, 1>() = position + distance * (std::sin(angle) * towards_axis + std::cos(angle) * kWorldUp);
  return result;
}

Eigen::Matrix4d rotatePoseAboutRadialNormal(const Eigen::Matrix4d& pose, double theta)
{
  const Eigen::Matrix3d rotation = pose.topLeftCorner<3, 3>();
  Eigen::Vector3d axis;
  if (!unitNormal(rotation.col(2), pose.topRightCorner<3, 1>(), axis))
  {
    return pose;
  }
  // The axis in the pose's own frame, so the turn can be applied on the right.
  const Eigen::Vector3d local_axis = rotation.inverse() * axis;
  if (!local_axis.allFinite())
  {
    return pose;
  }
  Eigen::Matrix3d cross;
  cross << 0, -local_axis.z(), local_axis.y(),  //
      local_axis.z(), 0, -local_axis.x(),       //
      -local_axis.y(), local_axis.x(), 0;
  const Eigen::Matrix3d turn =
      Eigen::Matrix3d::Identity() + std::sin(theta) * cross + (1 - std::cos(theta)) * cross * cross;
  Eigen::Matrix4d result = pose;
  result.topLeftCorner<3, 3>() = rotation * turn;
  return result;
}

int getGrabPrincipalAxisType(const Eigen::Matrix4d& pose)
{
  std::cout << "threshold:" << kOneDegree << std::endl;
  // A unit axis computed in floating point may put its cosine just outside [-1, 1].
  const double value = std::acos(std::clamp(pose(2, 2), -1.0, 1.0));
  std::cout << "value:" << value << std::endl;
  if (value < kOneDegree)
  {
    return static_cast<int>(GrabPrincipalAxisType::HORIZONTAL);
  }
  if (std::fabs(kHalfPi - value) < kOneDegree)
  {
    return static_cast<int>(GrabPrincipalAxisType::VERTICAL);
  }
  return static_cast<int>(GrabPrincipalAxisType::OTHER_DIRECTION);
}

double getObbMaxZ(const Eigen::Matrix4d& box_pose, const double box_size[3])
{
  const Eigen::Vector3d half_x = 0.5 * box_size[0] * box_pose.block<3, 1>(0, 0);
  const Eigen::Vector3d half_y = 0.5 * box_size[1] * box_pose.block<3, 1>(0, 1);
  const Eigen::Vector3d half_z = 0.5 * box_size[2] * box_pose.block<3, 1>(0, 2);
  const Eigen::Vector3d centre = box_pose.topRightCorner<3, 1>();
  double max_z = std::numeric_limits<double>::lowest();
  for (const double i : {-1.0, 1.0})
  {
    for (const double j : {-1.0, 1.0})
    {
      for (const double k : {-1.0, 1.0})
      {
        max_z = std::max(max_z, (centre + i * half_x + j * half_y + k * half_z).z());
      }
    }
  }
  std::printf("max z of obb is %lf\n", max_z);
  return max_z;
}
