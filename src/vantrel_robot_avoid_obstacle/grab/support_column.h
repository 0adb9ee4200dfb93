#pragma once

#include <vector>

#include <Eigen/Geometry>

// What a grabbed box stood on, as one upright box. Poses are 4x4 matrices in the robot base frame, z up.

// The lowest z of the box of pose `box_pose` and half edge lengths `half_extents` along its own axes.
double lowestCornerZ(const Eigen::Matrix4d& box_pose, const Eigen::Vector3d& half_extents);

// A box whose z axis is vertical: the pose of its centre and its edge lengths.
struct UprightBox {
  Eigen::Isometry3d pose = Eigen::Isometry3d::Identity();
  Eigen::Vector3d size = Eigen::Vector3d::Zero();
};

// The column from `bottom` up to `top` (above it) under the box of pose `box_pose` and half edge lengths
// `half_extents`, turned about z to the box axis that lies nearest the horizontal. Its footprint covers the box's own
// horizontal extent and every point of `support` (x, y of what the box was seen standing on beside it): exactly the
// box's footprint when the box stands upright or on a side and `support` lies within that.
UprightBox columnUnderBox(const Eigen::Matrix4d& box_pose, const Eigen::Vector3d& half_extents,
                          const std::vector<Eigen::Vector2d>& support, double bottom, double top);

// The z of the column's bottom face.
double columnBottom(const UprightBox& column);

// `column` with its bottom kept and its top at `top`.
UprightBox withTop(const UprightBox& column, double top);
