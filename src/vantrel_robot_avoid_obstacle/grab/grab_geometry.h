#pragma once

#include <Eigen/Core>

// Five degrees: the step by which every grab search turns or tilts the tool.
constexpr double kGrabTurnStep = 0.08726646259971647;

// Geometry of tool poses and grabbed boxes. A pose is a 4x4 homogeneous matrix in the robot base frame;
// column 2 of a tool pose is its approach axis.

// out = a x b normalised. When a x b has no usable length (parallel or zero vectors, non-finite values) out is
// zero and false is returned.
bool unitNormal(const Eigen::Vector3d& a, const Eigen::Vector3d& b, Eigen::Vector3d& out);

// The pose moved by `distance` in the vertical plane through the base z axis, at `angle` from straight up
// towards that axis (0: up, pi/2: horizontally towards the axis); orientation unchanged. On the base axis the
// horizontal direction is undefined and only the vertical part of the move is made.
Eigen::Matrix4d offsetPoseTranslation(const Eigen::Matrix4d& pose, double distance, double angle);

// The pose's orientation turned by `theta` about the world axis through its position that is normal to its
// approach axis and its radial direction; positive turns the approach axis towards the radial direction.
// Returns the pose unchanged when that axis is undefined (position at the origin, approach axis radial).
Eigen::Matrix4d rotatePoseAboutRadialNormal(const Eigen::Matrix4d& pose, double theta);

enum class GrabPrincipalAxisType : int
{
  HORIZONTAL = 1,
  VERTICAL = 2,
  OTHER_DIRECTION = 3
};

// Classifies the approach axis by its angle to world +z: within one degree of it HORIZONTAL, within one
// degree of the horizontal plane VERTICAL, else OTHER_DIRECTION (also for a non-finite axis). Prints the
// threshold and the angle.
int getGrabPrincipalAxisType(const Eigen::Matrix4d& pose);

// Largest z of the eight corners of the box of pose `box_pose` and edge lengths `box_size`; printed.
double getObbMaxZ(const Eigen::Matrix4d& box_pose, const double box_size[3]);
