#pragma once

#include <array>
#include <utility>
#include <vector>

#include "grab/joint_turns.h"

// Checks and repairs of what a motion command asks for, before anything is planned.

bool allFinite(const std::vector<double>& values);

// A tool pose x, y, z, qx, qy, qz, qw: false when a value is not finite or the quaternion's norm is off by
// more than 1e-3; otherwise true with the quaternion scaled to unit norm.
bool normaliseToolPose(std::array<double, 7>& pose);
