#include "grab/support_column.h"

double lowestCornerZ(const Eigen::Matrix4d& box_pose, const Eigen::Vector3d& half_extents)
{
  // The farthest any corner reaches below the centre: each axis's vertical part, at its full half extent.
  return box_pose(2, 3) - box_pose.block<1, 3>(2, 0).cwiseAbs().dot(half_extents.transpose());
}

UprightBox columnUnderBox(const Eigen::Matrix4d& box_pose, const Eigen::Vector3d& half_extents,
                          const std::vector<Eigen::Vector2d>& support, double bottom, double top)
{
  const Eigen::Matrix3d axes = box_pose.topLeftCorner<3, 3>();
  // Of three orthonormal axes at least one has a horizontal part of length sqrt(2/3) or more.
  int heading = 0;
  for (int k = 1; k < 3; ++k)
  {
    if (axes.col(k).head<2>().norm() > axes.col(heading).head<2>().norm())
      heading = k;
  }
  const Eigen::Vector2d u = axes.col(heading).head<2>().normalized();
  const Eigen::Vector2d v(-u.y(), u.x());
  // The footprint along u and v from the box's centre: its corners' reach, then the support's.
  const Eigen::Matrix<double, 2, 3> horizontal = axes.topRows<2>();
  const Eigen::Vector2d reach((u.transpose() * horizontal).cwiseAbs().dot(half_extents.transpose()),
                              (v.transpose() * horizontal).cwiseAbs().dot(half_extents.transpose()));
  Eigen::Vector2d low = -reach;
  Eigen::Vector2d high = reach;
  const Eigen::Vector2d centre = box_pose.block<2, 1>(0, 3);
  for (const Eigen::Vector2d& point : support)
  {
    const Eigen::Vector2d local(u.dot(point - centre), v.dot(point - centre));
    low = low.cwiseMin(local);
    high = high.cwiseMax(local);
  }
  const Eigen::Vector2d middle = centre + u * (0.5 * (low.x() + high.x())) + v * (0.5 * (low.y() + high.y()));

  UprightBox column;
  column.pose.linear() << u.x(), v.x(), 0.0, u.y(), v.y(), 0.0, 0.0, 0.0, 1.0;
  column.pose.translation() << middle.x(), middle.y(), 0.5 * (bottom + top);
  column.size << high.x() - low.x(), high.y() - low.y(), top - bottom;
  return column;
}

double columnBottom(const UprightBox& column)
{
  return column.pose.translation().z() - 0.5 * column.size.z();
}

UprightBox withTop(const UprightBox& column, double top)
{
  const double bottom = columnBottom(column);
  UprightBox result = column;
  result.pose.translation().z() = 0.5 * (bottom + top);
  result.size.z() = top - bottom;
  return result;
}
