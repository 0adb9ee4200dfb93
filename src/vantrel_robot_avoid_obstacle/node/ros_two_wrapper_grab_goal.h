#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <Eigen/Core>

#include "grab/pose_conversion.h"

class GrabManager;

// The steps of the grab and release requests that need nothing of the node object: checking the request,
// choosing the grab configuration for a tool pose, and naming a failed leg.

// A grab request the node can act on: finite poses whose quaternions are unit within 1e-3 (normalised here)
// and a box whose edges are finite and positive. False, with the poses possibly half normalised, otherwise.
bool normaliseGrabRequest(Pose7& target_pose, Pose7& obb_pose, const std::array<double, 3>& obb_size);

// A box is elongated, and its long axis worth keeping in the tool orientation, when it is clearly longer than
// wide and neither too small nor too flat to hold by its length. Prints the sorted edges.
bool isElongatedBox(const std::array<double, 3>& obb_size);

// Searches reachable, collision-free configurations for the tool pose `target`, turning the tool in 5 degree
// steps about its radial normal (up to 45 degrees each way) when the pose itself has none. 0 with
// `valid_results` and `grab_pose` set; -1 when every candidate was refused.
int generateMoveGoals(GrabManager& grab_manager, const Eigen::Matrix4d& target, const Eigen::Matrix4d& tool_matrix,
                      bool elongated, std::vector<std::vector<double>>& valid_results, Eigen::Matrix4d& grab_pose);

// Of the solutions, the one with the least shoulder and elbow travel from zero, then the least base turn, then
// (six joints) the least wrist turn; values within 0.01 count as equal. 0 with `grab_goal` set; -2 for an
// empty list or solutions of fewer than four joints.
int selectSuitableOne(const std::vector<std::vector<double>>& valid_results, std::vector<double>& grab_goal);

// The record's text for a failed leg: `what`, then whether planning or the arm controller failed (from the leg's
// code), then `code_text`.
std::string legFailureMessage(const char* what, int32_t leg_code, const char* code_text);
