// What a depth camera sees of the scene: per-pixel depth through a pinhole model, as a 16-bit
// depth image and as a cloud in the camera's optical frame (x right, y down, z forward).
#ifndef ARM_SIM__DEPTH_RENDERING_HPP_
#define ARM_SIM__DEPTH_RENDERING_HPP_

#include <cstdint>
#include <vector>

#include <Eigen/Geometry>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include "arm_sim/scene.hpp"
#include "sensor_msgs/msg/image.hpp"

namespace arm_sim
{

// Pixels (u, v) look along ((u - cx) / fx, (v - cy) / fy, 1); no distortion.
struct PinholeIntrinsics
{
  double fx;
  double cx;
  double fy;
  double cy;
  uint32_t width;
  uint32_t height;
};

struct DepthCameraModel
{
  PinholeIntrinsics intrinsics;
  // Camera to robot base (the camera's extrinsic); the camera's pose is its inverse.
  Eigen::Isometry3d camera_to_base = Eigen::Isometry3d::Identity();
};

// Depth in metres along the optical axis, row-major, 0 where no surface is seen.
std::vector<double> renderDepth(const Scene & scene, const DepthCameraModel & camera);

// 16UC1 image in millimetres, in the machine's byte order; 0 where nothing is seen or the depth
// does not fit 16 bits.
sensor_msgs::msg::Image toDepthImage(
  const std::vector<double> & depth, const PinholeIntrinsics & intrinsics);

// The seen points, exact (not quantised to millimetres), in row-major pixel order.
pcl::PointCloud<pcl::PointXYZ> toCameraCloud(
  const std::vector<double> & depth, const PinholeIntrinsics & intrinsics);

}  // namespace arm_sim

#endif  // ARM_SIM__DEPTH_RENDERING_HPP_
