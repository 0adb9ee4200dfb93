#include <algorithm>
#include <utility>

#include "robot_model/core/revolute_joint_model.h"
#include "robot_model/core/robot_model.h"

namespace robot_model {
namespace core {

namespace {

// Marks the joints that move when the given one does: those below it, the mimic joints that follow it or any of them
// wherever they sit, and those below these in turn. A joint reached both through the tree and through a mimic link
// counts for every joint above it either way, whichever the walk meets first.
void markMovedJoints(const JointModel* joint, std::vector<bool>& reached, std::vector<const JointModel*>& pending) {
  std::fill(reached.begin(), reached.end(), false);
  reached[joint->getJointIndex()] = true;
  pending.assign(1, joint);
  const auto reach = [&](const JointModel* next) {
    if (reached[next->getJointIndex()]) return;
    reached[next->getJointIndex()] = true;
    pending.push_back(next);
  };
  while (!pending.empty()) {
    const JointModel* current = pending.back();
    pending.pop_back();
    for (const JointModel* child : current->getChildLinkModel()->getChildJointModels()) reach(child);
    for (const JointModel* follower : current->getMimicRequests()) reach(follower);
  }
}

}  // namespace

void RobotModel::buildJointInfo() {
  variable_count_ = 0;
  for (JointModel* joint : joint_model_vector_) {
    const std::vector<std::string>& names = joint->getVariableNames();
    if (names.empty()) continue;
    for (std::size_t i = 0; i < names.size(); ++i) {
      joint_variables_index_map_[names[i]] = static_cast<int>(variable_count_ + i);
      variable_names_.push_back(names[i]);
      joints_of_variable_.push_back(joint);
    }
    if (!joint->getMimic()) {
      active_joint_model_start_index_.push_back(static_cast<int>(variable_count_));
      active_joint_model_vector_.push_back(joint);
      active_joint_model_names_vector_.push_back(joint->getName());
      active_joint_model_vector_const_.push_back(joint);
      active_joint_models_bounds_.push_back(&joint->getVariableBounds());
    }
    if (joint->getType() == JointModel::REVOLUTE && static_cast<const RevoluteJointModel*>(joint)->isContinuous()) {
      continuous_joint_model_vector_.push_back(joint);
    }
    joint_variables_index_map_[joint->getName()] = static_cast<int>(variable_count_);
    variable_count_ += names.size();
    if (names.size() == 1) {
      single_dof_joints_.push_back(joint);
    } else {
      multi_dof_joints_.push_back(joint);
    }
  }

  // Each link learns its rigid offset to every link it is connected to by fixed joints only.
  std::vector<bool> associated(link_model_vector_.size(), false);
  for (LinkModel* link : link_model_vector_) {
    if (associated[link->getLinkIndex()]) continue;
    LinkTransformMap transforms;
    computeFixedTransforms(link, link->getJointOriginTransform().inverse(), transforms);
    for (const auto& base : transforms) {
      associated[base.first->getLinkIndex()] = true;
      for (const auto& target : transforms) {
        if (target.first == base.first) continue;
        link_model_vector_[base.first->getLinkIndex()]->addAssociatedFixedTransform(
            target.first, base.second.inverse() * target.second);
      }
    }
  }

  if (!root_joint_) return;
  std::vector<bool> reached(joint_model_vector_.size());
  std::vector<const JointModel*> pending;
  for (JointModel* joint : joint_model_vector_) {
    markMovedJoints(joint, reached, pending);
    std::vector<const JointModel*> joints;
    std::vector<const LinkModel*> links(1, joint->getChildLinkModel());
    for (const JointModel* other : joint_model_vector_) {
      if (other == joint || !reached[other->getJointIndex()]) continue;
      joints.push_back(other);
      links.push_back(other->getChildLinkModel());
    }
    std::sort(links.begin(), links.end(),
              [](const LinkModel* a, const LinkModel* b) { return a->getLinkIndex() < b->getLinkIndex(); });
    joint->setDescendantJointModels(std::move(joints));
    joint->setDescendantLinkModels(std::move(links));
  }

  const std::size_t count = joint_model_vector_.size();
  common_joint_roots_.assign(count * count, 0);
  computeCommonRootsHelper(root_joint_);
  for (const JointModel* joint : joint_model_vector_) {
    const int index = static_cast<int>(joint->getJointIndex());
    common_joint_roots_[index * count + index] = index;
    for (const JointModel* descendant : joint->getDescendantJointModels()) {
      common_joint_roots_[descendant->getJointIndex() * count + index] = index;
      common_joint_roots_[index * count + descendant->getJointIndex()] = index;
    }
  }
}

void RobotModel::computeFixedTransforms(const LinkModel* link, const Eigen::Isometry3d& transform,
                                        LinkTransformMap& associated_transforms) {
  const Eigen::Isometry3d pose = transform * link->getJointOriginTransform();
  associated_transforms[link] = pose;
  for (const JointModel* child : link->getChildJointModels()) {
    if (child->getType() == JointModel::FIXED) computeFixedTransforms(child->getChildLinkModel(), pose, associated_transforms);
  }
}

void RobotModel::setCommonRootsOf(const JointModel* a, const JointModel* b, int root) {
  const std::size_t count = joint_model_vector_.size();
  std::vector<const JointModel*> side_a(1, a);
  side_a.insert(side_a.end(), a->getDescendantJointModels().begin(), a->getDescendantJointModels().end());
  std::vector<const JointModel*> side_b(1, b);
  side_b.insert(side_b.end(), b->getDescendantJointModels().begin(), b->getDescendantJointModels().end());
  for (const JointModel* x : side_a) {
    for (const JointModel* y : side_b) {
      common_joint_roots_[x->getJointIndex() * count + y->getJointIndex()] = root;
      common_joint_roots_[y->getJointIndex() * count + x->getJointIndex()] = root;
    }
  }
}

void RobotModel::computeCommonRootsHelper(const JointModel* joint) {
  const LinkModel* child_link = joint->getChildLinkModel();
  if (!child_link) return;
  const std::vector<const JointModel*>& children = child_link->getChildJointModels();
  for (std::size_t i = 0; i < children.size(); ++i) {
    for (std::size_t j = i + 1; j < children.size(); ++j) {
      setCommonRootsOf(children[i], children[j], static_cast<int>(joint->getJointIndex()));
    }
  }
  for (const JointModel* child : children) computeCommonRootsHelper(child);
}

}  // namespace core
}  // namespace robot_model
