#include "robot_model/core/joint_model_group.h"

#include <algorithm>
#include <cstdio>

#include "robot_model/core/link_model.h"
#include "robot_model/core/revolute_joint_model.h"
#include "robot_model/core/robot_model.h"

namespace robot_model {
namespace core {

namespace {

bool lessByJointIndex(const JointModel* a, const JointModel* b) { return a->getJointIndex() < b->getJointIndex(); }
bool lessByLinkIndex(const LinkModel* a, const LinkModel* b) { return a->getLinkIndex() < b->getLinkIndex(); }

bool isActiveMember(const JointModel* joint, const JointModelGroup& group) {
  return group.hasJointModel(joint->getName()) && joint->getVariableCount() > 0 && !joint->getMimic();
}

// Whether an ancestor of the joint is an active member of the group (directly or through a mimic source).
bool includesParent(const JointModel* joint, const JointModelGroup& group) {
  const JointModel* current = joint;
  while (current->getParentLinkModel()) {
    const JointModel* parent = current->getParentLinkModel()->getParentJointModel();
    if (isActiveMember(parent, group)) return true;
    if (parent->getMimic()) {
      const JointModel* source = parent->getMimic();
      if (isActiveMember(source, group) || includesParent(source, group)) return true;
    }
    current = parent;
  }
  return false;
}

}  // namespace

JointModelGroup::JointModelGroup(const std::string& name, const srdf::Model::Group& config,
                                 const std::vector<const JointModel*>& joints, const RobotModel* parent_model)
    : parent_model_(parent_model), name_(name), config_(config) {
  joint_model_vector_ = joints;
  std::sort(joint_model_vector_.begin(), joint_model_vector_.end(), lessByJointIndex);
  for (const JointModel* joint : joint_model_vector_) {
    joint_model_name_vector_.push_back(joint->getName());
    joint_model_map_[joint->getName()] = joint;
  }

  for (const JointModel* joint : joint_model_vector_) {
    const std::vector<std::string>& names = joint->getVariableNames();
    const std::size_t count = names.size();
    if (count == 0) {
      fixed_joints_.push_back(joint);
      continue;
    }
    if (count != 1) is_single_dof_ = false;
    if (!joint->getMimic()) {
      active_joint_model_vector_.push_back(joint);
      active_joint_model_name_vector_.push_back(joint->getName());
      active_joint_model_start_index_.push_back(static_cast<int>(variable_count_));
      active_joint_models_bounds_.push_back(&joint->getVariableBounds());
      active_variable_count_ += count;
    } else {
      mimic_joints_.push_back(joint);
    }
    for (std::size_t j = 0; j < count; ++j) {
      variable_names_.push_back(names[j]);
      variable_names_set_.insert(names[j]);
      variable_index_list_.push_back(static_cast<int>(joint->getFirstVariableIndex() + j));
      joint_variables_index_map_[names[j]] = variable_count_ + j;
    }
    joint_variables_index_map_[joint->getName()] = variable_count_;
    if (joint->getType() == JointModel::REVOLUTE && static_cast<const RevoluteJointModel*>(joint)->isContinuous()) {
      continuous_joint_model_vector_.push_back(joint);
    }
    variable_count_ += count;
  }

  for (const JointModel* joint : active_joint_model_vector_) {
    if (!includesParent(joint, *this)) joint_roots_.push_back(joint);
  }
  for (const JointModel* joint : active_joint_model_vector_) {
    for (const JointModel* mimic : joint->getMimicRequests()) {
      if (!hasJointModel(mimic->getName())) outside_mimic_joints_.push_back(mimic);
    }
  }

  if (variable_index_list_.empty()) {
    is_contiguous_index_list_ = false;
  } else {
    for (std::size_t i = 1; i < variable_index_list_.size(); ++i) {
      if (variable_index_list_[i] != variable_index_list_[i - 1] + 1) {
        is_contiguous_index_list_ = false;
        break;
      }
    }
  }

  for (const JointModel* mimic : mimic_joints_) {
    if (hasJointModel(mimic->getMimic()->getName())) {
      group_mimic_update_.push_back({getVariableGroupIndex(mimic->getMimic()->getName()),
                                     getVariableGroupIndex(mimic->getName()), mimic->getMimicFactor(),
                                     mimic->getMimicOffset()});
    }
  }

  std::set<const LinkModel*> links;
  for (const JointModel* joint : joint_model_vector_) links.insert(joint->getChildLinkModel());
  link_model_vector_.assign(links.begin(), links.end());
  std::sort(link_model_vector_.begin(), link_model_vector_.end(), lessByLinkIndex);
  for (const LinkModel* link : link_model_vector_) {
    link_model_map_[link->getName()] = link;
    link_model_name_vector_.push_back(link->getName());
    if (!link->getShapes().empty()) {
      link_model_with_geometry_vector_.push_back(link);
      link_model_with_geometry_name_vector_.push_back(link->getName());
    }
  }

  for (const JointModel* root : joint_roots_) {
    common_root_ = common_root_ ? parent_model_->getCommonRoot(root, common_root_) : root;
  }

  // The links the group's variables move: the descendants of its roots, which take in the mimic joints that follow
  // its active joints wherever they sit in the tree.
  for (const JointModel* root : joint_roots_) {
    for (const LinkModel* link : root->getDescendantLinkModels()) {
      updated_link_model_set_.insert(link);
      updated_link_model_name_set_.insert(link->getName());
      if (!link->getShapes().empty()) {
        updated_link_model_with_geometry_set_.insert(link);
        updated_link_model_with_geometry_name_set_.insert(link->getName());
      }
    }
  }
  updated_link_model_vector_.assign(updated_link_model_set_.begin(), updated_link_model_set_.end());
  std::sort(updated_link_model_vector_.begin(), updated_link_model_vector_.end(), lessByLinkIndex);
  for (const LinkModel* link : updated_link_model_vector_) updated_link_model_name_vector_.push_back(link->getName());
  updated_link_model_with_geometry_vector_.assign(updated_link_model_with_geometry_set_.begin(),
                                                  updated_link_model_with_geometry_set_.end());
  std::sort(updated_link_model_with_geometry_vector_.begin(), updated_link_model_with_geometry_vector_.end(),
            lessByLinkIndex);
  for (const LinkModel* link : updated_link_model_with_geometry_vector_) {
    updated_link_model_with_geometry_name_vector_.push_back(link->getName());
  }

  is_chain_ = computeIsChain();
}

bool JointModelGroup::computeIsChain() const {
  if (joint_roots_.size() != 1 || active_joint_model_vector_.empty()) return false;
  for (std::size_t k = joint_model_vector_.size() - 1; k > 0; --k) {
    const JointModel* previous = joint_model_vector_[k - 1];
    const LinkModel* link = joint_model_vector_[k]->getParentLinkModel();
    if (!link) return false;
    const JointModel* joint = link->getParentJointModel();
    while (joint != previous) {
      if (joint->getType() != JointModel::FIXED || !joint->getParentLinkModel()) return false;
      joint = joint->getParentLinkModel()->getParentJointModel();
    }
  }
  return true;
}

const JointModel* JointModelGroup::getJointModel(const std::string& name) const {
  auto it = joint_model_map_.find(name);
  if (it == joint_model_map_.end()) {
    printf("Joint '%s' not found in group '%s'\n", name.c_str(), name_.c_str());
    return nullptr;
  }
  return it->second;
}

const LinkModel* JointModelGroup::getLinkModel(const std::string& name) const {
  auto it = link_model_map_.find(name);
  if (it == link_model_map_.end()) {
    printf("Link '%s' not found in group '%s'\n", name.c_str(), name_.c_str());
    return nullptr;
  }
  return it->second;
}

int JointModelGroup::getVariableGroupIndex(const std::string& variable) const {
  auto it = joint_variables_index_map_.find(variable);
  return it == joint_variables_index_map_.end() ? -1 : static_cast<int>(it->second);
}

void JointModelGroup::setDefaultState(const std::string& name, const std::map<std::string, double>& values) {
  default_states_[name] = values;
  default_states_names_.push_back(name);
}

void JointModelGroup::setSubgroupNames(const std::vector<std::string>& names) {
  subgroup_names_ = names;
  subgroup_names_set_ = std::set<std::string>(names.begin(), names.end());
}

double JointModelGroup::getMaximumExtent(const std::vector<const JointModel::Bounds*>& active_joint_bounds) const {
  double extent = 0.0;
  for (std::size_t j = 0; j < active_joint_model_vector_.size(); ++j) {
    extent += active_joint_model_vector_[j]->getMaximumExtent(*active_joint_bounds[j]) *
              active_joint_model_vector_[j]->getDistanceFactor();
  }
  return extent;
}

void JointModelGroup::interpolate(const double* from, const double* to, double t, double* state) const {
  for (std::size_t i = 0; i < active_joint_model_vector_.size(); ++i) {
    const int s = active_joint_model_start_index_[i];
    active_joint_model_vector_[i]->interpolate(from + s, to + s, t, state + s);
  }
  for (const GroupMimicUpdate& update : group_mimic_update_) {
    state[update.dest] = state[update.src] * update.factor + update.offset;
  }
}

}  // namespace core
}  // namespace robot_model
