#pragma once

#include <array>
#include <vector>

#include <Eigen/Core>

class GrabManager;

// Choosing the grab configuration for a tool pose: the search over turned tool poses and the choice among the
// solutions found.

// A box is elongated, and its long axis worth keeping in the tool orientation, when it is clearly longer than
// wide and neither too small nor too flat to hold by its length. Prints the sorted edges.
bool isElongatedBox(const std::array<double, 3>& obb_size);

// Searches reachable, collision-free configurations for the tool pose `target`, turning the tool in steps of
// kGrabTurnStep about its radial normal (up to nine steps each way) when the pose itself has none. 0 with
// `valid_results` and `grab_pose` set; -1 when every candidate was refused.
int generateMoveGoals(GrabManager& grab_manager, const Eigen::Matrix4d& target, const Eigen::Matrix4d& tool_matrix,
                      bool elongated, std::vector<std::vector<double>>& valid_results, Eigen::Matrix4d& grab_pose);

// Of the solutions, the one with the least shoulder and elbow travel from zero, then the least base turn, then
// (six joints) the least wrist turn; values within 0.01 count as equal. 0 with `grab_goal` set; -2 for an
// empty list or solutions of fewer than four joints.
int selectSuitableOne(const std::vector<std::vector<double>>& valid_results, std::vector<double>& grab_goal);
