#include <algorithm>
#include <cstdio>
#include <set>

#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/srdf_parser/model.h"

namespace robot_model {
namespace core {

namespace {

bool lessByName(const JointModelGroup* a, const JointModelGroup* b) { return a->getName() < b->getName(); }

}  // namespace

void RobotModel::buildGroups(const srdf::Model& srdf_model) {
  const std::vector<srdf::Model::Group>& groups = srdf_model.getGroups();
  std::vector<bool> processed(groups.size(), false);
  bool attempted = true;
  while (attempted) {
    attempted = false;
    for (std::size_t i = 0; i < groups.size(); ++i) {
      if (processed[i]) continue;
      const std::vector<std::string>& subgroups = groups[i].subgroups_;
      const bool ready = std::all_of(subgroups.begin(), subgroups.end(),
                                     [this](const std::string& name) { return hasJointModelGroup(name); });
      if (!ready) continue;
      processed[i] = true;
      attempted = true;
      if (!addJointModelGroup(groups[i])) printf("Failed to add group '%s'\n", groups[i].name_.c_str());
    }
  }
  for (std::size_t i = 0; i < groups.size(); ++i) {
    if (!processed[i]) {
      printf("Could not process group '%s' due to unmet subgroup dependencies", groups[i].name_.c_str());
    }
  }

  for (const auto& entry : joint_model_group_map_) joint_model_groups_.push_back(entry.second);
  std::sort(joint_model_groups_.begin(), joint_model_groups_.end(), lessByName);
  for (JointModelGroup* group : joint_model_groups_) {
    joint_model_groups_const_.push_back(group);
    joint_model_group_names_.push_back(group->getName());
  }

  buildGroupsInfoSubgroups();
  buildGroupsInfoEndEffectors(srdf_model);

  for (JointModelGroup* group : joint_model_groups_) {
    if (group->getEndEffectorName().empty() && group->isChain()) group->assignKinematicsSolver(kinematics_solvers_);
  }
}

bool RobotModel::addJointModelGroup(const srdf::Model::Group& srdf_group) {
  if (joint_model_group_map_.count(srdf_group.name_)) {
    printf("A group named '%s' already exists. Not adding.", srdf_group.name_.c_str());
    return false;
  }

  std::set<const JointModel*> joints;
  for (const std::pair<std::string, std::string>& chain : srdf_group.chains_) {
    const LinkModel* base = getLinkModel(chain.first);
    const LinkModel* tip = getLinkModel(chain.second);
    if (!base || !tip) continue;
    std::vector<const JointModel*> from_tip;
    const LinkModel* link = tip;
    bool base_found = false;
    while (link) {
      if (link == base) {
        base_found = true;
        break;
      }
      from_tip.push_back(link->getParentJointModel());
      link = link->getParentJointModel()->getParentLinkModel();
    }
    if (base_found) {
      joints.insert(from_tip.begin(), from_tip.end());
      continue;
    }
    // The base is not above the tip: join both walks where they meet.
    std::vector<const JointModel*> from_base;
    link = base;
    while (link) {
      const JointModel* joint = link->getParentJointModel();
      from_base.push_back(joint);
      auto meet = std::find(from_tip.begin(), from_tip.end(), joint);
      if (meet != from_tip.end()) {
        joints.insert(from_tip.begin(), meet + 1);
        joints.insert(from_base.begin(), from_base.end());
        break;
      }
      link = joint->getParentLinkModel();
    }
  }
  for (const std::string& name : srdf_group.joints_) {
    auto it = joint_model_map_.find(name);
    if (it == joint_model_map_.end()) {
      printf("Joint '%s' not found in model '%s'", name.c_str(), model_name_.c_str());
      continue;
    }
    joints.insert(it->second);
  }
  for (const std::string& name : srdf_group.links_) {
    const LinkModel* link = getLinkModel(name);
    if (link) joints.insert(link->getParentJointModel());
  }
  for (const std::string& name : srdf_group.subgroups_) {
    const JointModelGroup* subgroup = joint_model_group_map_.at(name);
    joints.insert(subgroup->getJointModels().begin(), subgroup->getJointModels().end());
  }

  if (joints.empty()) {
    printf("Group '%s' must have at least one valid joint", srdf_group.name_.c_str());
    return false;
  }
  owned_joint_model_groups_.push_back(std::make_unique<JointModelGroup>(
      srdf_group.name_, srdf_group, std::vector<const JointModel*>(joints.begin(), joints.end()), this));
  joint_model_group_map_[srdf_group.name_] = owned_joint_model_groups_.back().get();
  return true;
}

void RobotModel::buildGroupsInfoSubgroups() {
  for (auto& outer : joint_model_group_map_) {
    JointModelGroup* group = outer.second;
    std::vector<std::string> subgroups;
    for (const auto& inner : joint_model_group_map_) {
      if (inner.first == outer.first) continue;
      const std::vector<const JointModel*>& joints = inner.second->getJointModels();
      const bool contained = std::all_of(joints.begin(), joints.end(), [group](const JointModel* joint) {
        return group->hasJointModel(joint->getName());
      });
      if (contained) subgroups.push_back(inner.first);
    }
    if (!subgroups.empty()) group->setSubgroupNames(subgroups);
  }
}

void RobotModel::buildGroupsInfoEndEffectors(const srdf::Model& srdf_model) {
  for (auto& entry : joint_model_group_map_) {
    JointModelGroup* group = entry.second;
    for (const srdf::Model::EndEffector& eef : srdf_model.getEndEffectors()) {
      if (eef.component_group_ != group->getName()) continue;
      group->setEndEffectorName(eef.name_);
      end_effectors_map_[eef.name_] = group;
      end_effectors_.push_back(group);

      std::vector<JointModelGroup*> candidates;
      for (auto& other : joint_model_group_map_) {
        if (other.first == group->getName() || !other.second->hasLinkModel(eef.parent_link_)) continue;
        other.second->attachEndEffector(eef.name_);
        candidates.push_back(other.second);
      }

      if (!eef.parent_group_.empty()) {
        auto parent = joint_model_group_map_.find(eef.parent_group_);
        if (parent == joint_model_group_map_.end()) {
          printf("Group name '%s' not found (specified as parent group for end-effector '%s')",
                 eef.parent_group_.c_str(), eef.name_.c_str());
        } else if (!parent->second->hasLinkModel(eef.parent_link_)) {
          printf("Group '%s' was specified as parent group for end-effector '%s' but it does not include the parent "
                 "link '%s'",
                 eef.parent_group_.c_str(), eef.name_.c_str(), eef.parent_link_.c_str());
        } else if (parent->second == group) {
          printf("Group '%s' for end-effector '%s' cannot be its own parent", eef.parent_group_.c_str(),
                 eef.name_.c_str());
        } else {
          group->setEndEffectorParent(eef.parent_group_, eef.parent_link_);
          continue;
        }
      }

      if (candidates.empty()) {
        printf("Could not identify parent group for end-effector '%s'", eef.name_.c_str());
        group->setEndEffectorParent("", eef.parent_link_);
        continue;
      }
      const JointModelGroup* best = candidates.front();
      for (const JointModelGroup* candidate : candidates) {
        if (candidate->getJointModels().size() < best->getJointModels().size()) best = candidate;
      }
      group->setEndEffectorParent(best->getName(), eef.parent_link_);
    }
  }
  std::sort(end_effectors_.begin(), end_effectors_.end(), lessByName);
}

void RobotModel::buildGroupStates(const srdf::Model& srdf_model) {
  for (const srdf::Model::GroupState& state : srdf_model.getGroupStates()) {
    auto it = joint_model_group_map_.find(state.group_);
    if (it == joint_model_group_map_.end()) {
      printf("Group state '%s' specified for group '%s', but that group does not exist", state.name_.c_str(),
             state.group_.c_str());
      continue;
    }
    JointModelGroup* group = it->second;
    std::map<std::string, double> values;
    for (const auto& joint_values : state.joint_values_) {
      if (!group->hasJointModel(joint_values.first)) {
        printf("Group state '%s' specifies value for joint '%s', but that joint is not part of group '%s'",
               state.name_.c_str(), joint_values.first.c_str(), group->getName().c_str());
        continue;
      }
      const JointModel* joint = group->getJointModel(joint_values.first);
      const std::vector<std::string>& names = joint->getVariableNames();
      if (joint_values.second.size() != names.size()) {
        printf("The model for joint '%s' requires %d variable values, but only %d variable values were supplied in "
               "default state '%s' for group '%s'",
               joint_values.first.c_str(), static_cast<int>(names.size()), static_cast<int>(joint_values.second.size()),
               state.name_.c_str(), group->getName().c_str());
        continue;
      }
      for (std::size_t i = 0; i < names.size(); ++i) values[names[i]] = joint_values.second[i];
    }
    if (!values.empty()) group->setDefaultState(state.name_, values);
  }
}

}  // namespace core
}  // namespace robot_model
