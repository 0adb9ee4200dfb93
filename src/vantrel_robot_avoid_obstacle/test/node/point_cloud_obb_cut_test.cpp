#include <cmath>
#include <filesystem>
#include <limits>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "node/point_cloud_obb_cut.h"
#include "support/cloud_helpers.h"
#include "support/scratch_directory.h"

namespace
{
Eigen::Matrix4d boxPose(const Eigen::Vector3d& centre, double yaw = 0.0)
{
  Eigen::Matrix4d pose = Eigen::Matrix4d::Identity();
  pose.topLeftCorner<3, 3>() = Eigen::AngleAxisd(yaw, Eigen::Vector3d::UnitZ()).toRotationMatrix();
  pose.topRightCorner<3, 1>() = centre;
  return pose;
}

Cloud cut(const Cloud::Ptr& input, const Eigen::Matrix4d& pose, const double size[3], double scale, double margin)
{
  const Cloud::Ptr output = makeCloud({{9, 9, 9}});
  removeObbObstaclePoints(input, output, pose, size, scale, margin);
  return *output;
}
}  // namespace

TEST(RemoveObbObstaclePoints, DropsPointsInsideAndOnTheFacesOfTheEnlargedBox)
{
  ScratchDirectory scratch;
  // Half extents after scale 2 and margin 0.125: 0.375, 0.25, 0.625 about the centre (0.5, 0.25, 0.5).
  const double size[3] = {0.25, 0.125, 0.5};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Cloud::Ptr input = makeCloud({{0.5f, 0.25f, 0.5f},
                                      {0.875f, 0.25f, 0.5f},
                                      {0.125f, 0.5f, -0.125f},
                                      {std::nextafter(0.875f, 1.0f), 0.25f, 0.5f},
                                      {0.5f, std::nextafter(0.5f, 1.0f), 0.5f},
                                      {0.5f, 0.25f, std::nextafter(-0.125f, -1.0f)},
                                      {nan, 0.25f, 0.5f},
                                      {2, 2, 2}});
  const Cloud output = cut(input, boxPose({0.5, 0.25, 0.5}), size, 2.0, 0.125);
  EXPECT_TRUE(samePoints(output, *makeCloud({{std::nextafter(0.875f, 1.0f), 0.25f, 0.5f},
                                             {0.5f, std::nextafter(0.5f, 1.0f), 0.5f},
                                             {0.5f, 0.25f, std::nextafter(-0.125f, -1.0f)},
                                             {2, 2, 2}})));
  EXPECT_EQ(output.width, 4u);
  EXPECT_EQ(output.height, 1u);
  EXPECT_TRUE(samePoints(readPcd(kObbRemovedSnapshotFile), output));
}

TEST(RemoveObbObstaclePoints, FlatBoxesAreCutAtLeastATenthOfAMetreAboveAndBelow)
{
  ScratchDirectory scratch;
  // Half height 0.01 * 0.75 + 0.03 = 0.0375 is raised to 0.1; the other extents stay 0.105.
  const double size[3] = {0.1, 0.1, 0.01};
  const Cloud::Ptr input = makeCloud({{0, 0, 0.59f}, {0, 0, 0.41f}, {0, 0, 0.61f}, {0, 0, 0.39f}, {0.11f, 0, 0.5f}});
  EXPECT_TRUE(samePoints(cut(input, boxPose({0, 0, 0.5}), size, 1.5, 0.03),
                         *makeCloud({{0, 0, 0.61f}, {0, 0, 0.39f}, {0.11f, 0, 0.5f}})));
}

TEST(RemoveObbObstaclePoints, ARotatedBoxCutsAlongItsOwnAxes)
{
  ScratchDirectory scratch;
  // A long box (0.5 along its x, 0.25 along its y) turned 45 degrees about z: its x axis is the diagonal.
  const double size[3] = {1.0, 0.5, 0.5};
  const Cloud::Ptr input = makeCloud({{0.3f, 0.3f, 0}, {0.3f, -0.3f, 0}, {-0.15f, -0.15f, 0.2f}, {0.4f, 0.4f, 0}});
  // Local coordinates: (0.424, 0), (0, -0.424), (-0.212, 0), (0.566, 0).
  EXPECT_TRUE(samePoints(cut(input, boxPose({0, 0, 0}, M_PI / 4), size, 1.0, 0.0),
                         *makeCloud({{0.3f, -0.3f, 0}, {0.4f, 0.4f, 0}})));
}

TEST(RemoveObbObstaclePoints, ACloudCutAwayWhollyLeavesAnEmptySnapshot)
{
  ScratchDirectory scratch;
  writeFile(kObbRemovedSnapshotFile, "stale");
  const double size[3] = {1.0, 1.0, 1.0};
  testing::internal::CaptureStdout();
  const Cloud output = cut(makeCloud({{0, 0, 0}}), boxPose({0, 0, 0}), size, 1.0, 0.0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(output.empty());
  EXPECT_EQ(output.width, 0u);
  expectEmptyPcd(readFile(kObbRemovedSnapshotFile));
}
