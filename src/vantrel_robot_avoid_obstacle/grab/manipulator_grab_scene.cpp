#include "grab/manipulator_grab_scene.h"

#include "planning/manipulator_plan_scene.h"

int ManipulatorGrabScene::getJointLimits(std::vector<std::pair<double, double>>& bounds)
{
  return plan_scene_ptr_->getJointLimits(bounds);
}

const KinematicsInterface* ManipulatorGrabScene::getKinematics() const
{
  const robot_model::core::JointModelGroup* group = plan_scene_ptr_->getPlanningGroup();
  return group ? group->kinematics_interface_ptr_.get() : nullptr;
}

bool ManipulatorGrabScene::isStateValid(const double* state)
{
  return plan_scene_ptr_->isStateValid(state);
}

void ManipulatorGrabScene::restoreGripperPadding()
{
  plan_scene_ptr_->setGripperPadding(plan_scene_ptr_->getRobotPadding());
}
