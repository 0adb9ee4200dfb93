#pragma once

#include <array>
#include <utility>
#include <vector>

// Checks and repairs of what a motion command asks for, before anything is planned.

bool allFinite(const std::vector<double>& values);

// A tool pose x, y, z, qx, qy, qz, qw: false when a value is not finite or the quaternion's norm is off by
// more than 1e-3; otherwise true with the quaternion scaled to unit norm.
bool normaliseToolPose(std::array<double, 7>& pose);

// Brings each joint within its limits by whole turns where one fits (of several, the one nearest the
// reference joint); joints that fit as they are, or that no turn brings within, stay as they are.
void turnJointsIntoLimits(std::vector<double>& joints, const std::vector<std::pair<double, double>>& limits,
                          const std::vector<double>& reference);
