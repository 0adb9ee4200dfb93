#pragma once

#include <vector>

#include <Eigen/Geometry>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include "arm_sim/depth_rendering.hpp"
#include "node_rig.h"

// Three views of the table and pillar, camera to base: two from the front corners and one from above.
inline std::vector<Eigen::Isometry3d> benchCameraViews() {
  const Eigen::Vector3d target(0.55, 0.0, 0.1);
  return {cameraLookingAt({1.15, -0.45, 1.0}, target), cameraLookingAt({1.15, 0.45, 1.0}, target),
          cameraLookingAt({0.55, 0.0, 1.1}, target + Eigen::Vector3d(0.0, 0.1, 0.0))};
}

// What a 640 x 480 depth camera at `view` sees of `scene`, in the camera's frame.
inline pcl::PointCloud<pcl::PointXYZ> benchCameraCloud(const arm_sim::Scene& scene, const Eigen::Isometry3d& view) {
  const arm_sim::PinholeIntrinsics intrinsics{525.0, 320.0, 525.0, 240.0, 640, 480};
  return arm_sim::toCameraCloud(arm_sim::renderDepth(scene, {intrinsics, view}), intrinsics);
}
