#pragma once

#include <vector>

// A joint-space path: waypoints from start to goal, each the planning group's joint values in group order.
using JointPath = std::vector<std::vector<double>>;

// Element-wise from + (to - from) * t over the length of `from`.
std::vector<double> interpolateWaypoints(const std::vector<double>& from, const std::vector<double>& to, double t);

// Euclidean distance over the length of `a`, every joint weighted 1.
double waypointDistance(const std::vector<double>& a, const std::vector<double>& b);
