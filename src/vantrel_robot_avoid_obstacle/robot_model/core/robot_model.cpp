#include "robot_model/core/robot_model.h"

#include <cstdio>

#include "robot_model/core/joint_model_group.h"
#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"

namespace robot_model {
namespace core {

RobotModel::RobotModel(const std::string& description_dir, const std::string& urdf_file,
                       const std::string& srdf_file)
    : description_dir_(description_dir), urdf_file_(urdf_file), srdf_file_(srdf_file) {
  const std::string urdf_path = description_dir_ + urdf_file_;
  const std::string srdf_path = description_dir_ + srdf_file_;
  srdf_ = std::make_shared<srdf::Model>();
  urdf_ = urdf::parseURDFFile(urdf_path);
  if (!urdf_) {
    // The SRDF and the whole build need the URDF model: without it the model stays empty.
    reportSetupError("URDF file '" + urdf_path + "' could not be read or parsed");
    return;
  }
  // The SRDF loader reports an unreadable file only to the log; the model must not pass for complete.
  if (!srdf_->initFile(*urdf_, srdf_path)) reportSetupError("SRDF file '" + srdf_path + "' could not be read");
  initKinematicsSolvers();
  buildModel(*urdf_, *srdf_);
}

RobotModel::~RobotModel() = default;

void RobotModel::initKinematicsSolvers() { kinematics_solvers_ = makeKinematicsSolverRecords(); }

void RobotModel::reportSetupError(const std::string& message) {
  printf("Robot model set-up error: %s\n", message.c_str());
  setup_errors_.push_back(message);
}

void RobotModel::buildModel(const urdf::ModelInterface& urdf_model, const srdf::Model& srdf_model) {
  root_link_ = nullptr;
  root_joint_ = nullptr;
  link_geometry_count_ = 0;
  variable_count_ = 0;
  model_name_ = urdf_model.name_;
  printf("Loading robot model '%s'...\n", model_name_.c_str());

  const std::shared_ptr<urdf::Link> root = urdf_model.getRoot();
  if (!root) {
    puts("No root link found");
    return;
  }
  model_frame_ = root->name;
  printf("root model_frame_:%s\n", model_frame_.c_str());

  // A virtual joint named like a URDF joint would make every joint lookup by name ambiguous.
  for (const srdf::Model::VirtualJoint& virtual_joint : srdf_model.getVirtualJoints()) {
    if (urdf_model.getJoint(virtual_joint.name_)) {
      reportSetupError("virtual joint '" + virtual_joint.name_ + "' has the name of a URDF joint");
    }
  }

  root_joint_ = buildRecursive(nullptr, root.get(), srdf_model);
  if (root_joint_) root_link_ = link_model_vector_.front();

  buildMimic(urdf_model);
  buildJointInfo();

  if (link_models_with_collision_geometry_vector_.empty()) puts("No geometry is associated to any robot links");

  buildGroups(srdf_model);
  buildGroupStates(srdf_model);
}

JointModel* RobotModel::buildRecursive(LinkModel* parent, const urdf::Link* urdf_link, const srdf::Model& srdf_model) {
  std::unique_ptr<JointModel> owned_joint = constructJointModel(urdf_link, srdf_model);
  if (!owned_joint) return nullptr;
  JointModel* joint = owned_joint.get();
  owned_joint_models_.push_back(std::move(owned_joint));
  joint_model_vector_.push_back(joint);
  joint_model_map_[joint->getName()] = joint;
  joint_model_vector_const_.push_back(joint);
  joint_model_names_vector_.push_back(joint->getName());
  joint->setParentLinkModel(parent);

  owned_link_models_.push_back(constructLinkModel(*urdf_link));
  LinkModel* link = owned_link_models_.back().get();
  joint->setChildLinkModel(link);
  link->setParentLinkModel(parent);
  link_model_map_[link->getName()] = link;
  link_model_vector_.push_back(link);
  link_model_vector_const_.push_back(link);
  link_model_names_vector_.push_back(link->getName());
  if (!link->getShapes().empty()) {
    link_models_with_collision_geometry_vector_.push_back(link);
    link_model_names_with_collision_geometry_vector_.push_back(link->getName());
    link->setFirstCollisionBodyIndex(static_cast<int>(link_geometry_count_));
    link_geometry_count_ += link->getShapes().size();
  }
  link->setParentJointModel(joint);

  for (const std::shared_ptr<urdf::Link>& child : urdf_link->child_links) {
    JointModel* child_joint = buildRecursive(link, child.get(), srdf_model);
    if (child_joint) link->addChildJointModel(child_joint);
  }
  return joint;
}

void RobotModel::buildMimic(const urdf::ModelInterface& urdf_model) {
  for (JointModel* joint : joint_model_vector_) {
    const std::shared_ptr<urdf::Joint> urdf_joint = urdf_model.getJoint(joint->getName());
    if (!urdf_joint || !urdf_joint->mimic) continue;
    auto source = joint_model_map_.find(urdf_joint->mimic->joint_name);
    if (source == joint_model_map_.end()) {
      printf("Joint '%s' cannot mimic unknown joint '%s'", joint->getName().c_str(),
             urdf_joint->mimic->joint_name.c_str());
      continue;
    }
    if (source->second->getVariableCount() != joint->getVariableCount()) {
      printf("Join '%s' cannot mimic joint '%s' because they have different number of DOF", joint->getName().c_str(),
             urdf_joint->mimic->joint_name.c_str());
      continue;
    }
    joint->setMimic(source->second, urdf_joint->mimic->multiplier, urdf_joint->mimic->offset);
  }

  // Flatten chains of mimic joints so that every mimic joint names an independent source.
  bool change = true;
  while (change) {
    change = false;
    for (JointModel* joint : joint_model_vector_) {
      const JointModel* source = joint->getMimic();
      if (!source || !source->getMimic()) continue;
      joint->setMimic(source->getMimic(), joint->getMimicFactor() * source->getMimicFactor(),
                      joint->getMimicOffset() + joint->getMimicFactor() * source->getMimicOffset());
      change = true;
      if (joint->getMimic() == joint) {
        printf("Cycle found in joint that mimic each other. Ignoring all mimic joints.");
        for (JointModel* j : joint_model_vector_) j->setMimic(nullptr, 0.0, 0.0);
        change = false;
        break;
      }
    }
  }

  for (JointModel* joint : joint_model_vector_) {
    if (!joint->getMimic()) continue;
    joint_model_vector_[joint->getMimic()->getJointIndex()]->addMimicRequest(joint);
    mimic_joints_.push_back(joint);
  }
}

const std::string& RobotModel::getRootLinkName() const {
  static const std::string empty;
  return root_link_ ? root_link_->getName() : empty;
}

const std::string& RobotModel::getRootJointName() const {
  static const std::string empty;
  return root_joint_ ? root_joint_->getName() : empty;
}

const LinkModel* RobotModel::getLinkModel(const std::string& name) const {
  auto it = link_model_map_.find(name);
  if (it == link_model_map_.end()) {
    printf("Link '%s' not found in model '%s'", name.c_str(), model_name_.c_str());
    return nullptr;
  }
  return it->second;
}

const JointModel* RobotModel::getJointModel(const std::string& name) const {
  auto it = joint_model_map_.find(name);
  return it == joint_model_map_.end() ? nullptr : it->second;
}

int RobotModel::getVariableIndex(const std::string& name) const {
  auto it = joint_variables_index_map_.find(name);
  return it == joint_variables_index_map_.end() ? -1 : it->second;
}

double RobotModel::getMaximumExtent(const std::vector<const JointModel::Bounds*>& active_joint_bounds) const {
  double extent = 0.0;
  for (std::size_t i = 0; i < active_joint_model_vector_.size(); ++i) {
    extent += active_joint_model_vector_[i]->getMaximumExtent(*active_joint_bounds[i]) *
              active_joint_model_vector_[i]->getDistanceFactor();
  }
  return extent;
}

const JointModelGroup* RobotModel::getJointModelGroup(const std::string& name) const {
  auto it = joint_model_group_map_.find(name);
  if (it == joint_model_group_map_.end()) {
    printf("Group '%s' not found in model '%s'\n", name.c_str(), model_name_.c_str());
    return nullptr;
  }
  return it->second;
}

const JointModelGroup* RobotModel::getEndEffector(const std::string& name) const {
  auto it = end_effectors_map_.find(name);
  return it == end_effectors_map_.end() ? nullptr : it->second;
}

}  // namespace core
}  // namespace robot_model
