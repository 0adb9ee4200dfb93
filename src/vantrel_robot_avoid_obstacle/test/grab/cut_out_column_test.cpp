// The column under a cut-out, against the cut-out's corners: it covers each one's horizontal place, reaches down to
// the lowest, stands upright, and fits the cut-out's footprint exactly when the cut-out stands upright or on a side.
#include <cmath>
#include <vector>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "grab/cut_out_column.h"

namespace
{

struct Cut
{
  const char* name;
  Eigen::Matrix3d axes;
  Eigen::Vector3d half;
  // The footprint's edges when it is exact, along the column's own x and y; empty otherwise.
  std::vector<double> exact;
};

Eigen::Matrix3d turn(double angle, const Eigen::Vector3d& axis)
{
  return Eigen::AngleAxisd(angle, axis.normalized()).toRotationMatrix();
}

std::vector<Eigen::Vector3d> corners(const Eigen::Matrix4d& pose, const Eigen::Vector3d& half)
{
  std::vector<Eigen::Vector3d> points;
  for (double i : { -1.0, 1.0 })
    for (double j : { -1.0, 1.0 })
      for (double k : { -1.0, 1.0 })
        points.push_back((pose * Eigen::Vector4d(i * half.x(), j * half.y(), k * half.z(), 1.0)).head<3>());
  return points;
}

}  // namespace

TEST(ColumnUnderCut, CoversEveryCornerFromTheLowestUpToTheTop)
{
  const Eigen::Vector3d x = Eigen::Vector3d::UnitX(), y = Eigen::Vector3d::UnitY(), z = Eigen::Vector3d::UnitZ();
  const Eigen::Vector3d half(0.12, 0.05, 0.1);
  const std::vector<Cut> cuts = {
    { "upright", Eigen::Matrix3d::Identity(), half, { 0.24, 0.1 } },
    { "turned a quarter", turn(M_PI / 2, z), half, { 0.24, 0.1 } },
    { "turned a half", turn(M_PI, z), half, { 0.24, 0.1 } },
    { "turned back a quarter", turn(-M_PI / 2, z), half, { 0.24, 0.1 } },
    { "turned 30 degrees", turn(M_PI / 6, z), half, { 0.24, 0.1 } },
    { "upside down", turn(M_PI, x), half, { 0.24, 0.1 } },
    // On a side the box's z lies level: the column is turned to x, the box's y stands up.
    { "on its long side", turn(M_PI / 2, x), half, { 0.24, 0.2 } },
    // On end the box's x stands up: the column is turned to y.
    { "on end", turn(0.4, z) * turn(M_PI / 2, y), half, { 0.1, 0.2 } },
    { "on the other end", turn(-0.7, z) * turn(-M_PI / 2, y), half, { 0.1, 0.2 } },
    { "tilted", turn(0.3, Eigen::Vector3d(1, 2, 0)), half, {} },
    { "tilted steeply and turned", turn(-2.0, z) * turn(1.2, Eigen::Vector3d(1, -1, 0.5)), half, {} },
    { "tiny", turn(0.2, Eigen::Vector3d(3, 1, 1)), Eigen::Vector3d(1e-6, 2e-6, 1e-6), {} },
    { "huge", turn(0.9, z), Eigen::Vector3d(5.0, 0.3, 0.1), { 10.0, 0.6 } },
  };
  for (const Cut& cut : cuts)
  {
    SCOPED_TRACE(cut.name);
    Eigen::Matrix4d pose = Eigen::Matrix4d::Identity();
    pose.topLeftCorner<3, 3>() = cut.axes;
    pose.topRightCorner<3, 1>() = Eigen::Vector3d(0.4, -0.25, 0.07);
    const std::vector<Eigen::Vector3d> points = corners(pose, cut.half);
    double lowest = points.front().z();
    for (const Eigen::Vector3d& p : points)
      lowest = std::min(lowest, p.z());
    const double tolerance = 1e-12 * (1.0 + cut.half.maxCoeff());
    EXPECT_NEAR(lowestCornerZ(pose, cut.half), lowest, tolerance);

    const double top = lowest + 0.03;
    const UprightBox column = columnUnderCut(pose, cut.half, top);
    EXPECT_TRUE(column.pose.linear().col(2).isApprox(Eigen::Vector3d::UnitZ(), 1e-12));
    EXPECT_TRUE(column.pose.linear().isUnitary(1e-12));
    EXPECT_NEAR(column.pose.translation().z() - column.size.z() / 2, lowest, tolerance);
    EXPECT_NEAR(column.pose.translation().z() + column.size.z() / 2, top, tolerance);
    for (const Eigen::Vector3d& p : points)
    {
      // The corner brought down to the column's middle height, in the column's frame.
      const Eigen::Vector3d local = column.pose.inverse() * Eigen::Vector3d(p.x(), p.y(), column.pose.translation().z());
      EXPECT_LE(std::abs(local.x()), column.size.x() / 2 + tolerance);
      EXPECT_LE(std::abs(local.y()), column.size.y() / 2 + tolerance);
    }
    if (!cut.exact.empty())
    {
      EXPECT_NEAR(column.size.x(), cut.exact[0], tolerance);
      EXPECT_NEAR(column.size.y(), cut.exact[1], tolerance);
    }
  }
}
