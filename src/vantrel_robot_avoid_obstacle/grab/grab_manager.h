#pragma once

#include <array>
#include <utility>
#include <vector>

#include <Eigen/Core>

class ManipulatorPlanScene;

// Reachability and transition-point search for the grab road, on the node's planning scene. Nothing in it
// changes after construction.
class GrabManager
{
public:
  // Reads the planning group's joint limits from the scene and keeps a copy of the tool matrix.
  GrabManager(ManipulatorPlanScene* plan_scene, const Eigen::Matrix4d& tool_matrix);

  const Eigen::Matrix4d& getToolMatrix() const { return tool_matrix_; }
  // The fixed configuration the pose goals pick their inverse-kinematics solution near.
  const std::array<double, 6>& getReferenceJoints() const { return reference_joints_; }
  const std::vector<std::pair<double, double>>& getJointLimits() const { return joint_limits_; }
  // The joint-limit query's result: the joint count, negative when it failed.
  int getDof() const { return n_dof_; }

private:
  ManipulatorPlanScene* plan_scene_ptr_;
  Eigen::Matrix4d tool_matrix_;
  std::array<double, 6> reference_joints_;
  std::vector<std::pair<double, double>> joint_limits_;
  int n_dof_;
};
