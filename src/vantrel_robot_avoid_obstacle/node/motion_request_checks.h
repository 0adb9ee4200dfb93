#pragma once

#include <array>
#include <utility>
#include <vector>

#include <Eigen/Core>

#include "grab/joint_turns.h"
#include "grab/pose_conversion.h"

namespace robot_model::core {
class JointModelGroup;
}

// Checks and repairs of what a command asks for, before anything is planned.

bool allFinite(const std::vector<double>& values);

// Every joint finite and within its (lower, upper) limits, bounds included; as many joints as limits.
bool withinJointLimits(const std::vector<double>& joints, const std::vector<std::pair<double, double>>& limits);

// As many joints as `current`, every one within `tolerance` of it; by default a goal the arm already stands at.
bool atJoints(const std::vector<double>& current, const std::vector<double>& goal, double tolerance = 1e-9);

// A tool pose x, y, z, qx, qy, qz, qw: false when a value is not finite or the quaternion's norm is off by
// more than 1e-3; otherwise true with the quaternion scaled to unit norm.
bool normaliseToolPose(std::array<double, 7>& pose);

// An upper bound of how far the tool reaches from the group's base: the joint offsets and prismatic travels of
// the group's longest chain added up, and the tool's offset from the flange.
double armReachBound(const robot_model::core::JointModelGroup& group, const Eigen::Matrix4d& tool_matrix);

// A grab request the node can act on: finite poses whose quaternions are unit within 1e-3 (normalised here)
// and a box whose edges are finite, not negative and not longer than `longest_edge` (a flat box has a zero
// edge). False, with the poses possibly half normalised, otherwise.
bool normaliseGrabRequest(Pose7& target_pose, Pose7& obb_pose, const std::array<double, 3>& obb_size,
                          double longest_edge);
