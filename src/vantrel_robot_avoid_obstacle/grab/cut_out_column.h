#pragma once

#include <Eigen/Geometry>

// The space under a grabbed box that its cut-out emptied of obstacles, as one upright box. Poses are 4x4 matrices
// in the robot base frame, z up.

// The lowest z of the box of pose `box_pose` and half edge lengths `half_extents` along its own axes.
double lowestCornerZ(const Eigen::Matrix4d& box_pose, const Eigen::Vector3d& half_extents);

// A box whose z axis is vertical: the pose of its centre and its edge lengths.
struct UprightBox {
  Eigen::Isometry3d pose = Eigen::Isometry3d::Identity();
  Eigen::Vector3d size = Eigen::Vector3d::Zero();
};

// The column from the lowest point of the cut-out (pose `cut_pose`, half edge lengths `cut_half_extents`) up to
// `top`, which lies above that point. Its footprint covers the cut-out's horizontal extent: it is turned about z
// to the cut-out axis that lies nearest the horizontal, exactly the cut-out's footprint when the cut-out stands
// upright or on a side.
UprightBox columnUnderCut(const Eigen::Matrix4d& cut_pose, const Eigen::Vector3d& cut_half_extents, double top);
