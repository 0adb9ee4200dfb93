#include "grab/pose_conversion.h"

#include <Eigen/Geometry>

Eigen::Matrix4d poseToIsometry(Pose7 pose)
{
  const double x = pose[3];
  const double y = pose[4];
  const double z = pose[5];
  const double w = pose[6];
  Eigen::Matrix4d matrix;
  matrix << 1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y), pose[0],  //
      2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x), pose[1],        //
      2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y), pose[2],        //
      0, 0, 0, 1;
  return matrix;
}

Pose7 isometryToPose(const Eigen::Matrix4d& matrix)
{
  const Eigen::Matrix3d rotation = matrix.topLeftCorner<3, 3>();
  const Eigen::Quaterniond q(rotation);
  return {matrix(0, 3), matrix(1, 3), matrix(2, 3), q.x(), q.y(), q.z(), q.w()};
}
