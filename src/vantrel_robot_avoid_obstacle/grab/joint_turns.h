#pragma once

#include <utility>
#include <vector>

// Inverse kinematics returns angles in the solver's own range; joints with limits beyond one turn, or shifted
// from it, may need the same angle a whole turn away.

// Brings each joint within its limits by whole turns where one fits (of several, the one nearest the
// reference joint); joints that fit as they are, or that no turn brings within, stay as they are.
void turnJointsIntoLimits(std::vector<double>& joints, const std::vector<std::pair<double, double>>& limits,
                          const std::vector<double>& reference);
