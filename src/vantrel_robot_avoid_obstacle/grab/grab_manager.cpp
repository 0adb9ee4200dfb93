#include "grab/grab_manager.h"

#include <cstdio>
#include <iostream>

#include <Eigen/LU>

#include "grab/joint_turns.h"
#include "grab/manipulator_grab_scene.h"
#include "kinematics/kinematics_interface.h"

GrabManager::GrabManager(ManipulatorPlanScene* plan_scene, const Eigen::Matrix4d& tool_matrix)
  : GrabManager(std::make_unique<ManipulatorGrabScene>(plan_scene), tool_matrix)
{
}

GrabManager::GrabManager(std::unique_ptr<GrabScene> scene, const Eigen::Matrix4d& tool_matrix)
  : scene_(std::move(scene))
  , tool_matrix_(tool_matrix)
  , reference_joints_{0.0, 0.6891, 1.5223, 0.0, 0.9253, 0.0}
  , n_dof_(scene_->getJointLimits(joint_limits_))
{
}

namespace
{
bool withinLimits(const std::vector<double>& q, const std::vector<std::pair<double, double>>& limits)
{
  for (std::size_t j = 0; j < q.size(); ++j)
  {
    // Written so that a NaN joint is out of range.
    if (!(q[j] >= limits[j].first && q[j] <= limits[j].second))
    {
      return false;
    }
  }
  return true;
}
}  // namespace

int GrabManager::CheckOutOfRange(const Eigen::Matrix4d& tool_pose, const Eigen::Matrix4d& tool_matrix,
                                 std::vector<std::vector<double>>& solutions)
{
  const KinematicsInterface* kinematics = scene_->getKinematics();
  if (!kinematics)
  {
    std::puts("kinematics_interface_ptr_==null!");
    std::puts("inverseKinematics failed in all arm types!");
    return -1;
  }
  const Eigen::MatrixXd flange_pose = tool_pose * tool_matrix.inverse();
  std::vector<std::vector<double>> all;
  if (kinematics->inverseKinematicsAllArmTypes(flange_pose, all) != 0)
  {
    std::puts("inverse kinematics failed!!!");
    std::puts("inverseKinematics failed in all arm types!");
    return -1;
  }

  const std::vector<double> reference(reference_joints_.begin(), reference_joints_.end());
  std::vector<std::vector<double>> in_range;
  for (std::vector<double>& q : all)
  {
    if (static_cast<long long>(q.size()) != n_dof_)
    {
      std::puts("GrabManager::CheckOutOfRange n!=n_dof_");
      continue;
    }
    turnJointsIntoLimits(q, joint_limits_, reference);
    if (withinLimits(q, joint_limits_))
    {
      in_range.push_back(std::move(q));
    }
  }
  if (in_range.empty())
  {
    std::cout << "\033[41m ERROR: All inverse q_results is out of range!\033[0m" << std::endl;
    return -3;
  }

  solutions.clear();
  for (std::vector<double>& q : in_range)
  {
    if (scene_->isStateValid(q.data()))
    {
      solutions.push_back(std::move(q));
    }
  }
  if (solutions.empty())
  {
    std::cout << "\033[41m ERROR: All inverse q_results is in collision!\033[0m" << std::endl;
    return -2;
  }
  return 0;
}
