// The synthetic scene and what a pinhole depth camera sees of it: sampled points lie on the
// solids' surfaces, rays meet the right face, and depths fit 16 bits of millimetres or are left out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "arm_sim/depth_rendering.hpp"
#include "arm_sim/scene.hpp"

namespace
{

using arm_sim::Scene;

// Reference: distance from a point to the nearest surface of any solid.
double distanceToSurfaces(const Scene & scene, const Eigen::Vector3d & point)
{
  double nearest = std::numeric_limits<double>::infinity();
  for (const auto & solid : scene.solids) {
    const double outside = (solid.min - point).cwiseMax(point - solid.max).cwiseMax(0.0).norm();
    const double inside = (point - solid.min).cwiseMin(solid.max - point).minCoeff();
    nearest = std::min(nearest, inside > 0.0 ? inside : outside);
  }
  return nearest;
}

Eigen::Vector3d toEigen(const pcl::PointXYZ & point) {return {point.x, point.y, point.z};}

TEST(SceneSampling, PointsLieOnTheSurfacesAndBadSpacingsAreRefused)
{
  const Scene scene = arm_sim::tablePillarBoxScene();
  const double spacing = 0.02;
  const auto cloud = arm_sim::sampleSurfaces(scene, spacing);
  for (const auto & point : cloud) {
    ASSERT_TRUE(std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.z));
    ASSERT_LT(distanceToSurfaces(scene, toEigen(point)), 1e-6);
  }
  double area = 0.0;  // at least one sample per spacing-square of surface
  for (const auto & solid : scene.solids) {
    const Eigen::Vector3d size = solid.max - solid.min;
    area += 2.0 * (size.x() * size.y() + size.y() * size.z() + size.z() * size.x());
  }
  EXPECT_GE(cloud.size(), area / (spacing * spacing));
  for (const double bad : {0.0, -0.01, std::nan("")}) {
    EXPECT_THROW(arm_sim::sampleSurfaces(scene, bad), std::invalid_argument);
  }
  EXPECT_TRUE(arm_sim::sampleSurfaces(Scene{}, spacing).empty());
}

const arm_sim::PinholeIntrinsics kIntrinsics{320.0, 160.0, 320.0, 120.0, 320, 240};

// Straight down onto the table top: its distance at the centre pixel, nothing when too far for
// 16 bits of millimetres. Obliquely: the camera cloud lies on the surfaces. (The node's sensor
// tests read these images and clouds back onto a box seen from each side.)
TEST(DepthCamera, ImagesAndCloudsShowTheSurfacesAtTheirDistance)
{
  const Scene scene = arm_sim::tablePillarBoxScene();
  arm_sim::DepthCameraModel camera{kIntrinsics, Eigen::Isometry3d::Identity()};
  // 1 m above the base, over a bare part of the table; optical z points down.
  camera.camera_to_base.translate(Eigen::Vector3d(0.35, -0.4, 1.0));
  camera.camera_to_base.rotate(Eigen::AngleAxisd(M_PI, Eigen::Vector3d::UnitX()));
  const auto image = arm_sim::toDepthImage(arm_sim::renderDepth(scene, camera), kIntrinsics);
  ASSERT_EQ(image.encoding, "16UC1");
  ASSERT_EQ(image.step, 640u);
  ASSERT_EQ(image.data.size(), 320u * 240u * 2u);
  uint16_t centre = 0;
  std::memcpy(&centre, &image.data[(120 * 320 + 160) * 2], 2);
  EXPECT_EQ(centre, 1050);
  camera.camera_to_base.translation().z() = 70.0;
  const auto far = arm_sim::toDepthImage(arm_sim::renderDepth(scene, camera), kIntrinsics);
  EXPECT_EQ(std::count(far.data.begin(), far.data.end(), 0), static_cast<std::ptrdiff_t>(far.data.size()));

  // Behind and above the base, looking forward and down at the pillar.
  const Eigen::Vector3d eye(-0.4, 0.1, 1.1);
  const Eigen::Vector3d forward = (Eigen::Vector3d(0.5, 0.0, 0.3) - eye).normalized();
  const Eigen::Vector3d right = forward.cross(Eigen::Vector3d::UnitZ()).normalized();
  camera.camera_to_base.linear() << right, forward.cross(right), forward;
  camera.camera_to_base.translation() = eye;
  const auto depth = arm_sim::renderDepth(scene, camera);
  const auto cloud = arm_sim::toCameraCloud(depth, kIntrinsics);
  ASSERT_GT(cloud.size(), depth.size() / 3);
  size_t on_pillar = 0;
  for (const auto & point : cloud) {
    const Eigen::Vector3d in_base = camera.camera_to_base * toEigen(point);
    ASSERT_LT(distanceToSurfaces(scene, in_base), 1e-5) << in_base.transpose();
    on_pillar += distanceToSurfaces({{scene.solids[1]}}, in_base) < 1e-5;
  }
  EXPECT_GT(on_pillar, 100u);
}

}  // namespace
