#pragma once

#include <array>
#include <memory>
#include <utility>
#include <vector>

#include <Eigen/Core>

#include "grab/grab_scene.h"

class ManipulatorPlanScene;

// Reachability and transition-point search for the grab road. Nothing in it changes after construction.
class GrabManager
{
public:
  // On the node's planning scene (not owned): reads the planning group's joint limits and keeps a copy of
  // the tool matrix.
  GrabManager(ManipulatorPlanScene* plan_scene, const Eigen::Matrix4d& tool_matrix);
  GrabManager(std::unique_ptr<GrabScene> scene, const Eigen::Matrix4d& tool_matrix);

  // Every configuration of the inverse kinematics for the flange pose tool_pose x tool_matrix^-1 that lies
  // within the joint limits (bounds inclusive; a joint outside is first turned by whole turns into them where
  // one fits, nearest the reference joints) and is free of collision goes to `solutions`, in the solver's
  // order. 0 when there is one; -1 no solver or no solution (solutions untouched), -3 none within the limits
  // (solutions untouched), -2 every one in collision (solutions empty).
  int CheckOutOfRange(const Eigen::Matrix4d& tool_pose, const Eigen::Matrix4d& tool_matrix,
                      std::vector<std::vector<double>>& solutions);

  // A reachable, collision-free configuration a few centimetres back from the grasp configuration
  // `grab_joints`, searched in an order set by the direction of the tool's approach axis; the first found
  // goes to `out`. Restores the gripper's normal padding first. 0 on success; -1 (approach straight up or
  // horizontal), -33 or -44 (any other approach) when the search is exhausted, `out` then untouched.
  // `min_z`: the lowest tool height tried when backing straight up from a horizontal approach.
  int findTransitionPoint(std::vector<double> grab_joints, Eigen::Matrix4d tool_matrix, std::vector<double>& out,
                          double min_z);

  const Eigen::Matrix4d& getToolMatrix() const { return tool_matrix_; }
  // The fixed configuration the pose goals pick their inverse-kinematics solution near.
  const std::array<double, 6>& getReferenceJoints() const { return reference_joints_; }
  const std::vector<std::pair<double, double>>& getJointLimits() const { return joint_limits_; }
  // The joint-limit query's result: the joint count, negative when it failed.
  int getDof() const { return n_dof_; }

private:
  // One candidate tool pose: reachable, and a solution near the grasp configuration chosen into `out`.
  bool tryTransitionPose(const Eigen::Matrix4d& pose, const Eigen::Matrix4d& tool_matrix,
                         const std::vector<double>& grab_joints, std::vector<double>& out);
  int searchAboveHorizontalApproach(const Eigen::Matrix4d& tool_pose, const Eigen::Matrix4d& tool_matrix,
                                    const std::vector<double>& grab_joints, std::vector<double>& out);
  int searchBesideVerticalApproach(const Eigen::Matrix4d& tool_pose, const Eigen::Matrix4d& tool_matrix,
                                   const std::vector<double>& grab_joints, std::vector<double>& out, double min_z);
  int searchAlongTiltedApproach(const Eigen::Matrix4d& tool_pose, const Eigen::Matrix4d& tool_matrix,
                                const std::vector<double>& grab_joints, std::vector<double>& out);

  std::unique_ptr<GrabScene> scene_;
  Eigen::Matrix4d tool_matrix_;
  std::array<double, 6> reference_joints_;
  std::vector<std::pair<double, double>> joint_limits_;
  int n_dof_;
};

// Of several joint solutions, the one nearest to `reference` (sum of absolute joint differences; the first of
// equals), with each joint more than three half turns from the reference turned by a full turn towards it
// when that keeps it within `joint_limits`. A single candidate is taken as it is. 0; -1 no candidate; -2 a
// first candidate of fewer than four joints.
int selectNearestIkSolution(const std::vector<std::vector<double>>& candidates, std::vector<double>& out,
                            std::vector<double> reference,
                            const std::vector<std::pair<double, double>>& joint_limits);
