// The model dump printed while the scene is built.
#include <iostream>

#include "planning/manipulator_plan_scene.h"
#include "robot_model/core/revolute_joint_model.h"

namespace {

void printJoint(const robot_model::core::JointModel& joint) {
  std::cout << "Joint Name:" << joint.getName() << std::endl;
  if (joint.getType() != robot_model::core::JointModel::REVOLUTE) return;
  const auto& revolute = static_cast<const robot_model::core::RevoluteJointModel&>(joint);
  const Eigen::Vector3d& axis = revolute.getAxis();
  const robot_model::core::JointOrigin& origin = joint.getOrigin();
  const robot_model::core::MdhParameters& mdh = joint.getMdhParameters();
  std::cout << "axis:" << axis.x() << "," << axis.y() << "," << axis.z() << std::endl;
  std::cout << "xyz:" << origin.x_ << "," << origin.y_ << "," << origin.z_ << std::endl;
  std::cout << "rpy:" << origin.roll_ << "," << origin.pitch_ << "," << origin.yaw_ << std::endl;
  std::cout << "mdh para:" << std::endl;
  std::cout << "xa:" << mdh.xa_ << "," << "alpha:" << mdh.alpha_ << "," << "zd:" << mdh.zd_ << ","
            << "qzero:" << mdh.qzero_ << ";" << std::endl;
}

void printGroup(const robot_model::core::JointModelGroup& group) {
  const robot_model::core::JointModel* root = group.getCommonRoot();
  const robot_model::core::LinkModel* root_parent = root ? root->getParentLinkModel() : nullptr;
  std::cout << "+++++++++++++++++++++" << group.getName() << "+++++++++++++++++++++" << std::endl;
  std::cout << "jmg_ptr->getMaximumExtent:" << group.getMaximumExtent() << std::endl;
  std::cout << "Subgroup size:" << group.getSubgroupNames().size() << std::endl;
  std::cout << "getCommonRoot()->getName():" << (root ? root->getName() : std::string()) << std::endl;
  std::cout << "Parent link name:" << (root_parent ? root_parent->getName() : std::string()) << std::endl;
  for (const robot_model::core::JointModel* joint : group.getJointModels()) printJoint(*joint);
  std::cout << std::endl;
}

}  // namespace

void ManipulatorPlanScene::printModelSummary() const {
  const robot_model::core::RobotModel& model = *robot_model_;
  const robot_model::core::JointModel* root_joint = model.getRootJoint();
  std::cout << "ModelFrame:" << model.getModelFrame() << std::endl;
  std::cout << "RootJointName:" << model.getRootJointName() << std::endl;
  std::cout << "getJointModelCount:" << model.getJointModelCount() << std::endl;
  std::cout << "getRootLinkName:" << model.getRootLinkName() << std::endl;
  std::cout << "getDescendantLinkModels size:" << (root_joint ? root_joint->getDescendantLinkModels().size() : 0)
            << std::endl;
  std::cout << "getLinkModelCount:" << model.getLinkModelCount() << std::endl;
  std::cout << "getLinkGeometryCount:" << model.getLinkGeometryCount() << std::endl;
  std::cout << "getMaximumExtent:" << model.getMaximumExtent() << std::endl;
  for (const std::string& name : model.getJointModelGroupNames()) std::cout << name << std::endl;
  for (const robot_model::core::JointModelGroup* group : model.getJointModelGroups()) printGroup(*group);
}
