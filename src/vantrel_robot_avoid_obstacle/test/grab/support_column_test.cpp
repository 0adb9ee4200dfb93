// The column under a box, against the box's corners and the support seen beside it: it covers each one's horizontal
// place, stands upright between the bottom and the top it is given, and fits the box's footprint exactly when the box
// stands upright or on a side and nothing is seen beyond it.
#include <cmath>
#include <vector>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "grab/support_column.h"

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

TEST(ColumnUnderBox, CoversEveryCornerFromTheBottomUpToTheTop)
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
    const UprightBox column = columnUnderBox(pose, cut.half, {}, lowest, top);
    EXPECT_TRUE(column.pose.linear().col(2).isApprox(Eigen::Vector3d::UnitZ(), 1e-12));
    EXPECT_TRUE(column.pose.linear().isUnitary(1e-12));
    EXPECT_NEAR(column.pose.translation().z() - column.size.z() / 2, lowest, tolerance);
    EXPECT_NEAR(column.pose.translation().z() + column.size.z() / 2, top, tolerance);
    for (const Eigen::Vector3d& p : points)
    {
      // The corner brought down to the column's middle height, in the column's frame.
      const Eigen::Vector3d local =
          column.pose.inverse() * Eigen::Vector3d(p.x(), p.y(), column.pose.translation().z());
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

TEST(ColumnUnderBox, GrowsToTheSupportSeenBesideTheBoxAndNoFurther)
{
  // A 12 cm cube turned 30 degrees about z, its centre at (0.5, 0.2), bottom at 0.
  Eigen::Matrix4d pose = Eigen::Matrix4d::Identity();
  pose.topLeftCorner<3, 3>() = turn(M_PI / 6, Eigen::Vector3d::UnitZ());
  pose.topRightCorner<3, 1>() = Eigen::Vector3d(0.5, 0.2, 0.06);
  const Eigen::Vector3d half = Eigen::Vector3d::Constant(0.06);
  const Eigen::Vector2d centre(0.5, 0.2);
  const Eigen::Vector2d u(std::cos(M_PI / 6), std::sin(M_PI / 6));
  const Eigen::Vector2d v(-u.y(), u.x());
  const auto footprint = [&](const std::vector<Eigen::Vector2d>& support) {
    const UprightBox column = columnUnderBox(pose, half, support, -0.1, -0.005);
    const Eigen::Vector2d middle = column.pose.translation().head<2>() - centre;
    return std::vector<double>{ u.dot(middle) - column.size.x() / 2, u.dot(middle) + column.size.x() / 2,
                                v.dot(middle) - column.size.y() / 2, v.dot(middle) + column.size.y() / 2 };
  };
  const double tolerance = 1e-12;
  const auto expectFootprint = [&](const std::vector<Eigen::Vector2d>& support, const std::vector<double>& expected) {
    const std::vector<double> got = footprint(support);
    for (size_t k = 0; k < expected.size(); ++k)
      EXPECT_NEAR(got[k], expected[k], tolerance) << k;
  };
  const auto at = [&](double along_u, double along_v) { return Eigen::Vector2d(centre + along_u * u + along_v * v); };

  // A narrow post under the box, seen only below it: the box's footprint, not more.
  expectFootprint({ at(-0.025, -0.025), at(0.025, 0.025), at(0.0, 0.0) }, { -0.06, 0.06, -0.06, 0.06 });
  // A table seen all round it: out to the farthest points, on every side.
  expectFootprint({ at(-0.12, 0.0), at(0.12, 0.11), at(0.05, -0.1) }, { -0.12, 0.12, -0.1, 0.11 });
  // A board that ends beside the box: the footprint grows on that side only.
  expectFootprint({ at(0.09, -0.03), at(0.09, 0.03) }, { -0.06, 0.09, -0.06, 0.06 });
  // One point on an edge of the box, one far off: the far one alone moves its side.
  expectFootprint({ at(0.06, 0.06), at(0.0, -2.0) }, { -0.06, 0.06, -2.0, 0.06 });

  const UprightBox column = columnUnderBox(pose, half, {}, -0.1, -0.005);
  EXPECT_TRUE(column.pose.translation().head<2>().isApprox(centre, tolerance));
  // Lowered or raised, its bottom and footprint stay.
  for (double top : { -0.099, -0.03, 0.0, 0.5 })
  {
    const UprightBox moved = withTop(column, top);
    EXPECT_NEAR(moved.pose.translation().z() - moved.size.z() / 2, -0.1, tolerance);
    EXPECT_NEAR(moved.pose.translation().z() + moved.size.z() / 2, top, tolerance);
    EXPECT_TRUE(moved.pose.linear().isApprox(column.pose.linear(), tolerance));
    EXPECT_TRUE(moved.pose.translation().head<2>().isApprox(column.pose.translation().head<2>(), tolerance));
    EXPECT_EQ(moved.size.head<2>(), column.size.head<2>());
  }
}
