#include "grab/cut_out_column.h"

double lowestCornerZ(const Eigen::Matrix4d& box_pose, const Eigen::Vector3d& half_extents)
{
  // The farthest any corner reaches below the centre: each axis's vertical part, at its full half extent.
  return box_pose(2, 3) - box_pose.block<1, 3>(2, 0).cwiseAbs().dot(half_extents.transpose());
}

UprightBox columnUnderCut(const Eigen::Matrix4d& cut_pose, const Eigen::Vector3d& cut_half_extents, double top)
{
  const Eigen::Matrix3d axes = cut_pose.topLeftCorner<3, 3>();
  // Of three orthonormal axes at least one has a horizontal part of length sqrt(2/3) or more.
  int heading = 0;
  for (int k = 1; k < 3; ++k)
  {
    if (axes.col(k).head<2>().norm() > axes.col(heading).head<2>().norm())
      heading = k;
  }
  const Eigen::Vector2d u = axes.col(heading).head<2>().normalized();
  const Eigen::Vector2d v(-u.y(), u.x());
  // How far the cut-out's corners reach along u and v from its centre.
  const Eigen::Matrix<double, 2, 3> horizontal = axes.topRows<2>();
  const double half_u = (u.transpose() * horizontal).cwiseAbs().dot(cut_half_extents.transpose());
  const double half_v = (v.transpose() * horizontal).cwiseAbs().dot(cut_half_extents.transpose());
  const double bottom = lowestCornerZ(cut_pose, cut_half_extents);

  UprightBox column;
  column.pose.linear() << u.x(), v.x(), 0.0, u.y(), v.y(), 0.0, 0.0, 0.0, 1.0;
  column.pose.translation() << cut_pose(0, 3), cut_pose(1, 3), 0.5 * (bottom + top);
  column.size << 2.0 * half_u, 2.0 * half_v, top - bottom;
  return column;
}
