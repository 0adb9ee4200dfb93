#pragma once

#include <array>

#include <Eigen/Core>

// A pose as the service requests carry it: x, y, z (metres), then the quaternion qx, qy, qz, qw. The
// quaternion is used as given, never normalised.
using Pose7 = std::array<double, 7>;

// The 4x4 homogeneous matrix of the pose (rotation block from the quaternion's products).
Eigen::Matrix4d poseToIsometry(Pose7 pose);
// The pose of a homogeneous matrix; the quaternion's sign follows from the rotation block's largest
// component (w positive whenever the trace is).
Pose7 isometryToPose(const Eigen::Matrix4d& matrix);
