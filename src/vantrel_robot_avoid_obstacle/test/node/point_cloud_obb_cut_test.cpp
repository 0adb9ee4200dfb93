#include <cmath>
#include <limits>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "node/point_cloud_obb_cut.h"
#include "support/cloud_helpers.h"
#include "support/scratch_directory.h"

namespace
{
Cloud cut(const Cloud::Ptr& input, const Eigen::Vector3d& centre, double yaw, const double size[3], double scale,
          double margin)
{
  Eigen::Matrix4d box_pose = Eigen::Matrix4d::Identity();
  box_pose.topLeftCorner<3, 3>() = Eigen::AngleAxisd(yaw, Eigen::Vector3d::UnitZ()).toRotationMatrix();
  box_pose.topRightCorner<3, 1>() = centre;
  const Cloud::Ptr output = makeCloud({{9, 9, 9}});
  removeObbObstaclePoints(input, output, box_pose, size, scale, margin);
  return *output;
}
}  // namespace

TEST(RemoveObbObstaclePoints, DropsPointsInsideAndOnTheFacesOfTheEnlargedBox)
{
  ScratchDirectory scratch;
  // Half extents after scale 2 and margin 0.125: 0.375, 0.25, 0.625 about the centre (0.5, 0.25, 0.5).
  const double size[3] = {0.25, 0.125, 0.5};
  const float past_x = std::nextafter(0.875f, 1.0f), past_y = std::nextafter(0.5f, 1.0f),
              past_z = std::nextafter(-0.125f, -1.0f);
  const Cloud::Ptr input = makeCloud({{0.5f, 0.25f, 0.5f}, {0.875f, 0.25f, 0.5f}, {0.125f, 0.5f, -0.125f},
                                      {past_x, 0.25f, 0.5f}, {0.5f, past_y, 0.5f}, {0.5f, 0.25f, past_z},
                                      {std::numeric_limits<float>::quiet_NaN(), 0.25f, 0.5f}, {2, 2, 2}});
  const Cloud output = cut(input, {0.5, 0.25, 0.5}, 0.0, size, 2.0, 0.125);
  EXPECT_TRUE(samePoints(output, *makeCloud({{past_x, 0.25f, 0.5f}, {0.5f, past_y, 0.5f}, {0.5f, 0.25f, past_z}, {2, 2, 2}})));
  EXPECT_TRUE(samePoints(readPcd(kObbRemovedSnapshotFile), output));

  // A flat box is cut at least 0.1 m above and below: 0.01 * 0.75 + 0.03 = 0.0375 is raised.
  const double flat[3] = {0.1, 0.1, 0.01};
  EXPECT_TRUE(samePoints(cut(makeCloud({{0, 0, 0.59f}, {0, 0, 0.41f}, {0, 0, 0.61f}, {0, 0, 0.39f}, {0.11f, 0, 0.5f}}),
                             {0, 0, 0.5}, 0.0, flat, 1.5, 0.03),
                         *makeCloud({{0, 0, 0.61f}, {0, 0, 0.39f}, {0.11f, 0, 0.5f}})));
}

TEST(RemoveObbObstaclePoints, ARotatedBoxCutsAlongItsOwnAxes)
{
  ScratchDirectory scratch;
  // Half extents 0.5 along the box's x, 0.25 along its y; turned 45 degrees its x axis is the diagonal. Local
  // coordinates: (0.424, 0), (0, -0.424), (-0.212, 0), (0.566, 0).
  const double size[3] = {1.0, 0.5, 0.5};
  const Cloud::Ptr input = makeCloud({{0.3f, 0.3f, 0}, {0.3f, -0.3f, 0}, {-0.15f, -0.15f, 0.2f}, {0.4f, 0.4f, 0}});
  EXPECT_TRUE(samePoints(cut(input, {0, 0, 0}, M_PI / 4, size, 1.0, 0.0), *makeCloud({{0.3f, -0.3f, 0}, {0.4f, 0.4f, 0}})));
}
