#include <cmath>
#include <limits>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "fake_grab_scene.h"
#include "grab/grab_geometry.h"

namespace
{
constexpr double kDegree = 0.017453292519943295;

Eigen::Matrix3d turn(double angle, const Eigen::Vector3d& axis)
{
  return Eigen::AngleAxisd(angle, axis.normalized()).toRotationMatrix();
}

int classify(double cosine)
{
  Eigen::Matrix4d p = Eigen::Matrix4d::Identity();
  p(2, 2) = cosine;
  testing::internal::CaptureStdout();
  const int type = getGrabPrincipalAxisType(p);
  testing::internal::GetCapturedStdout();
  return type;
}
}  // namespace

TEST(OffsetPoseTranslation, MovesUpOrTowardsTheBaseAxisKeepingTheOrientation)
{
  const Eigen::Matrix3d down = Eigen::Vector3d(1, -1, -1).asDiagonal();
  const Eigen::Matrix4d tool = makePose(down, {0.5, 0, 0.2});
  EXPECT_LT(maxDifference(offsetPoseTranslation(tool, 0.1, 0.0), makePose(down, {0.5, 0, 0.3})), 1e-15);
  EXPECT_LT(maxDifference(offsetPoseTranslation(tool, 0.1, M_PI / 2), makePose(down, {0.4, 0, 0.2})), 1e-15);
  const double s = std::sqrt(0.5);
  EXPECT_LT(maxDifference(offsetPoseTranslation(makePose(down, {0.3, 0.4, 0}), 0.2, M_PI / 4),
                     makePose(down, {0.3 - 0.12 * s, 0.4 - 0.16 * s, 0.2 * s})),
            1e-15);
  // On the base axis the horizontal direction is undefined: only the vertical part of the move is made.
  for (const double height : {0.5, 0.0})
  {
    EXPECT_LT(maxDifference(offsetPoseTranslation(makePose(down, {0, 0, height}), 0.1, M_PI / 3), makePose(down, {0, 0, height + 0.05})),
              1e-15);
  }
}

TEST(RotatePoseAboutRadialNormal, TiltsTheApproachAxisTowardsTheRadialDirection)
{
  const Eigen::Matrix4d tool = makePose(Eigen::Vector3d(1, -1, -1).asDiagonal(), {0.5, 0, 0.2});
  EXPECT_EQ(rotatePoseAboutRadialNormal(tool, 0.0), tool);
  // Pointing down at (0.5, 0, 0.2) the axis is world -y: +5 degrees lean the approach axis towards +x.
  const Eigen::Matrix4d tilted = rotatePoseAboutRadialNormal(tool, 5 * kDegree);
  EXPECT_LT(maxDifference(tilted, makePose(turn(5 * kDegree, -Eigen::Vector3d::UnitY()) * tool.topLeftCorner<3, 3>(), {0.5, 0, 0.2})),
            1e-15);
  EXPECT_GT(tilted(0, 2), 0.08);

  // No normal to turn about: an approach axis along the radial direction, a tool at the base origin, non-numbers.
  Eigen::Matrix3d along_x;
  along_x << 0, 0, 1, 0, 1, 0, -1, 0, 0;
  for (const Eigen::Matrix4d& degenerate : {makePose(along_x, {0.5, 0, 0}), makePose(along_x, {0, 0, 0}),
                                            makePose(along_x, {1e300, 0, 1e300})})
  {
    EXPECT_EQ(rotatePoseAboutRadialNormal(degenerate, 0.1), degenerate);
  }
}

TEST(GetGrabPrincipalAxisType, ClassifiesAtAndAroundItsThresholds)
{
  // The type names the plane the approach axis is close to: straight up is HORIZONTAL.
  const int up = static_cast<int>(GrabPrincipalAxisType::HORIZONTAL);
  const int side = static_cast<int>(GrabPrincipalAxisType::VERTICAL);
  const int other = static_cast<int>(GrabPrincipalAxisType::OTHER_DIRECTION);
  // A unit axis computed in floating point may put its cosine just outside [-1, 1].
  for (const auto& [cosine, type] :
       {std::pair<double, int>{1.0000000000000002, up}, {1.0, up}, {std::cos(0.99 * kDegree), up},
        {std::cos(1.01 * kDegree), other}, {std::sin(0.99 * kDegree), side}, {0.0, side},
        {-std::sin(0.99 * kDegree), side}, {-std::sin(1.01 * kDegree), other}, {-1.0, other},
        {-1.0000000000000002, other},
        {std::numeric_limits<double>::quiet_NaN(), other}})
  {
    EXPECT_EQ(classify(cosine), type) << cosine;
  }
  // Strict: the largest cosine whose angle is not below one degree is not straight up.
  double cosine = std::cos(kDegree);
  while (std::acos(cosine) < kDegree)
  {
    cosine = std::nextafter(cosine, 0.0);
  }
  while (std::acos(std::nextafter(cosine, 2.0)) >= kDegree)
  {
    cosine = std::nextafter(cosine, 2.0);
  }
  EXPECT_EQ(classify(cosine), other);
  EXPECT_EQ(classify(std::nextafter(cosine, 2.0)), up);
}

TEST(GetObbMaxZ, HighestCornerOfTheTurnedBox)
{
  const double size[3] = {0.2, 0.1, 0.04};
  testing::internal::CaptureStdout();
  EXPECT_NEAR(getObbMaxZ(makePose(Eigen::Matrix3d::Identity(), {0.3, -0.2, 0.1}), size), 0.12, 1e-15);
  EXPECT_NEAR(getObbMaxZ(makePose(turn(M_PI / 2, Eigen::Vector3d::UnitX()), {0, 0, 0.1}), size), 0.15, 1e-15);
  EXPECT_NEAR(getObbMaxZ(makePose(turn(M_PI / 4, Eigen::Vector3d::UnitY()), {0, 0, 0.1}), size), 0.1 + 0.12 * std::sqrt(0.5), 1e-15);
  testing::internal::GetCapturedStdout();
}
