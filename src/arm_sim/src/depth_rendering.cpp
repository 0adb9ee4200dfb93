#include "arm_sim/depth_rendering.hpp"

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace arm_sim
{
namespace
{

Eigen::Vector3d pixelRay(const PinholeIntrinsics & intrinsics, uint32_t u, uint32_t v)
{
  return {(u - intrinsics.cx) / intrinsics.fx, (v - intrinsics.cy) / intrinsics.fy, 1.0};
}

bool hostIsBigEndian()
{
  const uint16_t probe = 1;
  uint8_t first_byte = 0;
  std::memcpy(&first_byte, &probe, 1);
  return first_byte == 0;
}

}  // namespace

std::vector<double> renderDepth(const Scene & scene, const DepthCameraModel & camera)
{
  const PinholeIntrinsics & intrinsics = camera.intrinsics;
  if (!(intrinsics.fx > 0.0) || !(intrinsics.fy > 0.0)) {
    throw std::invalid_argument("depth rendering: focal lengths must be positive");
  }
  const Eigen::Vector3d origin = camera.camera_to_base.translation();
  const Eigen::Matrix3d rotation = camera.camera_to_base.linear();
  std::vector<double> depth(static_cast<size_t>(intrinsics.width) * intrinsics.height, 0.0);
  for (uint32_t v = 0; v < intrinsics.height; ++v) {
    for (uint32_t u = 0; u < intrinsics.width; ++u) {
      // The ray's optical-axis component is 1, so its parameter at the hit is the depth.
      const auto hit = castRay(scene, origin, rotation * pixelRay(intrinsics, u, v));
      if (hit) {
        depth[static_cast<size_t>(v) * intrinsics.width + u] = *hit;
      }
    }
  }
  return depth;
}

sensor_msgs::msg::Image toDepthImage(
  const std::vector<double> & depth, const PinholeIntrinsics & intrinsics)
{
  sensor_msgs::msg::Image image;
  image.width = intrinsics.width;
  image.height = intrinsics.height;
  image.encoding = "16UC1";
  image.is_bigendian = hostIsBigEndian();
  image.step = intrinsics.width * sizeof(uint16_t);
  image.data.resize(depth.size() * sizeof(uint16_t));
  for (size_t i = 0; i < depth.size(); ++i) {
    const double millimetres = std::round(depth[i] * 1000.0);
    const uint16_t value = millimetres <= std::numeric_limits<uint16_t>::max() ?
      static_cast<uint16_t>(millimetres) : 0;
    std::memcpy(&image.data[i * sizeof(uint16_t)], &value, sizeof(uint16_t));
  }
  return image;
}

pcl::PointCloud<pcl::PointXYZ> toCameraCloud(
  const std::vector<double> & depth, const PinholeIntrinsics & intrinsics)
{
  pcl::PointCloud<pcl::PointXYZ> cloud;
  for (uint32_t v = 0; v < intrinsics.height; ++v) {
    for (uint32_t u = 0; u < intrinsics.width; ++u) {
      const double z = depth[static_cast<size_t>(v) * intrinsics.width + u];
      if (z > 0.0) {
        const Eigen::Vector3d point = z * pixelRay(intrinsics, u, v);
        cloud.push_back(pcl::PointXYZ(point.x(), point.y(), point.z()));
      }
    }
  }
  return cloud;
}

}  // namespace arm_sim
