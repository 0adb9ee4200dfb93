#include <cmath>
#include <limits>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "grab/grab_geometry.h"

namespace
{
constexpr double kDegree = 0.017453292519943295;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Eigen::Matrix4d pose(const Eigen::Matrix3d& rotation, const Eigen::Vector3d& position)
{
  Eigen::Matrix4d result = Eigen::Matrix4d::Identity();
  result.topLeftCorner<3, 3>() = rotation;
  result.topRightCorner<3, 1>() = position;
  return result;
}

// A tool at (0.5, 0, 0.2) pointing straight down.
Eigen::Matrix4d toolPointingDown()
{
  return pose(Eigen::Vector3d(1, -1, -1).asDiagonal(), {0.5, 0, 0.2});
}

// A pose whose approach axis makes `angle` with world +z, tilted in the x-z plane.
Eigen::Matrix4d approachAt(double angle)
{
  return pose(Eigen::AngleAxisd(angle, Eigen::Vector3d::UnitY()).toRotationMatrix(), {0.5, 0, 0.2});
}

Eigen::Vector3d positionOf(const Eigen::Matrix4d& p)
{
  return p.topRightCorner<3, 1>();
}

Eigen::Matrix3d rotationOf(const Eigen::Matrix4d& p)
{
  return p.topLeftCorner<3, 3>();
}

int classify(const Eigen::Matrix4d& p)
{
  testing::internal::CaptureStdout();
  const int type = getGrabPrincipalAxisType(p);
  testing::internal::GetCapturedStdout();
  return type;
}

}  // namespace

TEST(UnitNormal, NormalisesTheCrossProductAndRefusesParallelOrBrokenVectors)
{
  Eigen::Vector3d out;
  ASSERT_TRUE(unitNormal({2, 0, 0}, {0, 3, 0}, out));
  EXPECT_EQ(out, Eigen::Vector3d(0, 0, 1));
  ASSERT_TRUE(unitNormal({0, 0, -1}, {0.5, 0, 0.2}, out));
  EXPECT_EQ(out, Eigen::Vector3d(0, -1, 0));
  for (const auto& [a, b] : {std::pair<Eigen::Vector3d, Eigen::Vector3d>{{1, 2, 3}, {2, 4, 6}},
                             {{0, 0, 0}, {1, 0, 0}},
                             {{kNaN, 0, 0}, {0, 1, 0}},
                             {{1e300, 0, 0}, {0, 1e300, 0}}})
  {
    out << 5, 5, 5;
    EXPECT_FALSE(unitNormal(a, b, out)) << a.transpose() << " x " << b.transpose();
    EXPECT_EQ(out, Eigen::Vector3d::Zero());
  }
}

TEST(OffsetPoseTranslation, MovesUpOrTowardsTheBaseAxisKeepingTheOrientation)
{
  const Eigen::Matrix4d tool = toolPointingDown();
  const Eigen::Matrix4d up = offsetPoseTranslation(tool, 0.1, 0.0);
  EXPECT_LT((positionOf(up) - Eigen::Vector3d(0.5, 0, 0.3)).norm(), 1e-15);
  EXPECT_EQ(rotationOf(up), rotationOf(tool));
  EXPECT_EQ(up.row(3), tool.row(3));
  const Eigen::Matrix4d inward = offsetPoseTranslation(tool, 0.1, M_PI / 2);
  EXPECT_LT((positionOf(inward) - Eigen::Vector3d(0.4, 0, 0.2)).norm(), 1e-15);
  // Off the x axis: towards the axis along the horizontal radial direction, 45 degrees up.
  const Eigen::Matrix4d diagonal = offsetPoseTranslation(pose(Eigen::Matrix3d::Identity(), {0.3, 0.4, 0}), 0.2, M_PI / 4);
  EXPECT_LT((positionOf(diagonal) - Eigen::Vector3d(0.3 - 0.12 * std::sqrt(0.5), 0.4 - 0.16 * std::sqrt(0.5),
                                                               0.2 * std::sqrt(0.5)))
                .norm(),
            1e-15);

  // On the base axis the horizontal direction is undefined: only the vertical part of the move is made.
  for (const Eigen::Vector3d& on_axis : {Eigen::Vector3d(0, 0, 0.5), Eigen::Vector3d(0, 0, 0)})
  {
    const Eigen::Matrix4d moved = offsetPoseTranslation(pose(Eigen::Matrix3d::Identity(), on_axis), 0.1, M_PI / 3);
    ASSERT_TRUE(moved.allFinite());
    EXPECT_LT((positionOf(moved) - (on_axis + Eigen::Vector3d(0, 0, 0.05))).norm(), 1e-15);
  }
}

TEST(RotatePoseAboutRadialNormal, TiltsTheApproachAxisTowardsTheRadialDirection)
{
  const Eigen::Matrix4d tool = toolPointingDown();
  EXPECT_EQ(rotatePoseAboutRadialNormal(tool, 0.0), tool);

  const double theta = 5 * kDegree;
  const Eigen::Matrix4d tilted = rotatePoseAboutRadialNormal(tool, theta);
  // About the world axis -y through the tool: the approach axis (0, 0, -1) leans towards +x.
  const Eigen::Matrix3d expected =
      Eigen::AngleAxisd(theta, -Eigen::Vector3d::UnitY()).toRotationMatrix() * rotationOf(tool);
  EXPECT_LT((rotationOf(tilted) - expected).cwiseAbs().maxCoeff(), 1e-15);
  EXPECT_NEAR(tilted(0, 2), std::sin(theta), 1e-15);
  EXPECT_EQ(positionOf(tilted), positionOf(tool));
  EXPECT_EQ(tilted.row(3), tool.row(3));

  // A general pose: the turn is about the normal of its approach axis and its radial direction.
  const Eigen::Matrix3d rotation =
      (Eigen::AngleAxisd(0.3, Eigen::Vector3d::UnitZ()) * Eigen::AngleAxisd(2.0, Eigen::Vector3d(1, 1, 0).normalized()))
          .toRotationMatrix();
  const Eigen::Vector3d position(0.2, -0.4, 0.6);
  const Eigen::Vector3d axis = rotation.col(2).cross(position).normalized();
  const Eigen::Matrix4d turned = rotatePoseAboutRadialNormal(pose(rotation, position), -0.7);
  EXPECT_LT((rotationOf(turned) - Eigen::AngleAxisd(-0.7, axis).toRotationMatrix() * rotation)
                .cwiseAbs()
                .maxCoeff(),
            1e-14);

  // No normal to turn about: an approach axis along the radial direction, or a tool at the base origin.
  Eigen::Matrix3d approach_along_x;
  approach_along_x << 0, 0, 1, 0, 1, 0, -1, 0, 0;
  const Eigen::Matrix4d radial = pose(approach_along_x, {0.5, 0, 0});
  EXPECT_EQ(rotatePoseAboutRadialNormal(radial, theta), radial);
  const Eigen::Matrix4d at_origin = pose(Eigen::Matrix3d::Identity(), Eigen::Vector3d::Zero());
  EXPECT_EQ(rotatePoseAboutRadialNormal(at_origin, theta), at_origin);
}

TEST(GetGrabPrincipalAxisType, PrintsThresholdAndAngle)
{
  testing::internal::CaptureStdout();
  const int type = getGrabPrincipalAxisType(approachAt(M_PI / 2));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "threshold:0.0174533\nvalue:1.5708\n");
  EXPECT_EQ(type, static_cast<int>(GrabPrincipalAxisType::VERTICAL));
}

TEST(GetGrabPrincipalAxisType, ClassifiesAtAndAroundItsThresholds)
{
  const int horizontal = static_cast<int>(GrabPrincipalAxisType::HORIZONTAL);
  const int vertical = static_cast<int>(GrabPrincipalAxisType::VERTICAL);
  const int other = static_cast<int>(GrabPrincipalAxisType::OTHER_DIRECTION);
  EXPECT_EQ(classify(approachAt(0.0)), horizontal);
  EXPECT_EQ(classify(approachAt(0.99 * kDegree)), horizontal);
  EXPECT_EQ(classify(approachAt(1.01 * kDegree)), other);
  EXPECT_EQ(classify(approachAt(M_PI / 2 - 0.99 * kDegree)), vertical);
  EXPECT_EQ(classify(approachAt(M_PI / 2 + 0.99 * kDegree)), vertical);
  EXPECT_EQ(classify(approachAt(M_PI / 2 + 1.01 * kDegree)), other);
  EXPECT_EQ(classify(approachAt(M_PI)), other);

  // The threshold is strict: the largest cosine whose angle is not below one degree is not straight up.
  Eigen::Matrix4d boundary = Eigen::Matrix4d::Identity();
  double cosine = std::cos(kDegree);
  while (std::acos(cosine) < kDegree)
  {
    cosine = std::nextafter(cosine, 0.0);
  }
  while (std::acos(std::nextafter(cosine, 2.0)) >= kDegree)
  {
    cosine = std::nextafter(cosine, 2.0);
  }
  boundary(2, 2) = cosine;
  EXPECT_EQ(classify(boundary), other);
  boundary(2, 2) = std::nextafter(cosine, 2.0);
  EXPECT_EQ(classify(boundary), horizontal);

  // A unit axis computed in floating point may put its cosine just outside [-1, 1].
  Eigen::Matrix4d rounded = Eigen::Matrix4d::Identity();
  rounded(2, 2) = 1.0000000000000002;
  EXPECT_EQ(classify(rounded), horizontal);
  rounded(2, 2) = -1.0000000000000002;
  EXPECT_EQ(classify(rounded), other);
  rounded(2, 2) = kNaN;
  EXPECT_EQ(classify(rounded), other);
}

TEST(GetObbMaxZ, HighestCornerOfTheTurnedBox)
{
  const double size[3] = {0.2, 0.1, 0.04};
  testing::internal::CaptureStdout();
  const double flat = getObbMaxZ(pose(Eigen::Matrix3d::Identity(), {0.3, -0.2, 0.1}), size);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "max z of obb is 0.120000\n");
  EXPECT_NEAR(flat, 0.12, 1e-15);

  testing::internal::CaptureStdout();
  const double on_side = getObbMaxZ(pose(Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitX()).toRotationMatrix(), {0, 0, 0.1}), size);
  const double tilted = getObbMaxZ(pose(Eigen::AngleAxisd(M_PI / 4, Eigen::Vector3d::UnitY()).toRotationMatrix(), {0, 0, 0.1}), size);
  testing::internal::GetCapturedStdout();
  EXPECT_NEAR(on_side, 0.15, 1e-15);
  EXPECT_NEAR(tilted, 0.1 + 0.5 * (0.2 + 0.04) * std::sqrt(0.5), 1e-15);
}
