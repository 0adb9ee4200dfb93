#include "grab/grab_manager.h"

#include "planning/manipulator_plan_scene.h"

GrabManager::GrabManager(ManipulatorPlanScene* plan_scene, const Eigen::Matrix4d& tool_matrix)
  : plan_scene_ptr_(plan_scene)
  , tool_matrix_(tool_matrix)
  , reference_joints_{0.0, 0.6891, 1.5223, 0.0, 0.9253, 0.0}
  , n_dof_(plan_scene->getJointLimits(joint_limits_))
{
}
