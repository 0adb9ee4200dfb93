#include "robot_model/core/robot_state.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "robot_model/core/joint_model_group.h"

namespace robot_model {
namespace core {

RobotState::RobotState(const RobotModelConstPtr& model) : model_(model) {
  if (!model_) throw std::invalid_argument("RobotState cannot be constructed with nullptr RobotModelConstPtr");
  allocMemory();
  setToDefaultValues();
  updateCollisionBodyTransforms();
}

RobotState::~RobotState() {
  while (!attached_bodies_.empty()) clearAttachedBody(attached_bodies_.begin()->first);
  std::free(block_);
}

void RobotState::allocMemory() {
  const std::size_t joints = model_->getJointModelCount();
  const std::size_t links = model_->getLinkModelCount();
  const std::size_t bodies = model_->getLinkGeometryCount();
  const std::size_t variables = model_->getVariableCount();
  const std::size_t transform_bytes = (joints + links + bodies) * sizeof(Eigen::Isometry3d);
  const std::size_t dirty_bytes = (joints / 8 + 1) * 8;
  const std::size_t bytes = transform_bytes + dirty_bytes + 3 * variables * sizeof(double) + 15;
  block_ = std::malloc(bytes);
  if (!block_) throw std::bad_alloc();

  // One block for all numeric data, 16-byte aligned for the vectorised transform products.
  static_assert(alignof(Eigen::Isometry3d) <= 16,
                "Eigen aligns transforms wider than the state's 16-byte block alignment: widen the alignment");
  auto* start = reinterpret_cast<unsigned char*>((reinterpret_cast<std::uintptr_t>(block_) + 15) & ~std::uintptr_t(15));
  joint_transforms_ = reinterpret_cast<Eigen::Isometry3d*>(start);
  link_transforms_ = joint_transforms_ + joints;
  body_transforms_ = link_transforms_ + links;
  for (std::size_t i = 0; i < joints + links + bodies; ++i) new (joint_transforms_ + i) Eigen::Isometry3d(Eigen::Isometry3d::Identity());
  dirty_joints_ = start + transform_bytes;
  std::memset(dirty_joints_, 1, dirty_bytes);
  positions_ = reinterpret_cast<double*>(dirty_joints_ + dirty_bytes);
  velocities_ = positions_ + variables;
  accelerations_ = velocities_ + variables;
  efforts_ = accelerations_;
  std::memset(positions_, 0, 3 * variables * sizeof(double));
  dirty_links_root_ = model_->getRootJoint();
}

void RobotState::setToDefaultValues() {
  const std::vector<const JointModel*>& active = model_->getActiveJointModels();
  const std::vector<int>& start = model_->getActiveJointModelStartIndex();
  for (std::size_t i = 0; i < active.size(); ++i) {
    active[i]->getVariableDefaultPositions(positions_ + start[i], active[i]->getVariableBounds());
  }
  for (const JointModel* mimic : model_->getMimicJointModels()) {
    positions_[mimic->getFirstVariableIndex()] =
        positions_[mimic->getMimic()->getFirstVariableIndex()] * mimic->getMimicFactor() + mimic->getMimicOffset();
  }
  const std::size_t variables = model_->getVariableCount();
  std::memset(velocities_, 0, 2 * variables * sizeof(double));
  velocities_set_ = accelerations_set_ = efforts_set_ = false;
  std::memset(dirty_joints_, 1, model_->getJointModelCount());
  dirty_links_root_ = model_->getRootJoint();
}

void RobotState::widenDirtyLinksRoot(const JointModel* joint) {
  dirty_links_root_ = dirty_links_root_ ? model_->getCommonRoot(dirty_links_root_, joint) : joint;
}

void RobotState::markDirtyJointTransforms(const JointModel* joint) {
  dirty_joints_[joint->getJointIndex()] = 1;
  widenDirtyLinksRoot(joint);
}

void RobotState::setJointGroupPositions(const JointModelGroup* group, const double* values) {
  const std::vector<int>& index = group->getVariableIndexList();
  if (group->isContiguousWithinState()) {
    if (!index.empty()) std::memcpy(positions_ + index[0], values, group->getVariableCount() * sizeof(double));
  } else {
    for (std::size_t i = 0; i < index.size(); ++i) positions_[index[i]] = values[i];
  }
  for (const auto* mimics : {&group->getMimicJointModels(), &group->getOutsideMimicJointModels()}) {
    for (const JointModel* mimic : *mimics) {
      positions_[mimic->getFirstVariableIndex()] =
          positions_[mimic->getMimic()->getFirstVariableIndex()] * mimic->getMimicFactor() + mimic->getMimicOffset();
      markDirtyJointTransforms(mimic);
    }
  }
  for (const JointModel* joint : group->getActiveJointModels()) dirty_joints_[joint->getJointIndex()] = 1;
  if (group->getCommonRoot()) widenDirtyLinksRoot(group->getCommonRoot());
}

const Eigen::Isometry3d& RobotState::getJointTransform(const JointModel* joint) {
  const std::size_t index = joint->getJointIndex();
  if (dirty_joints_[index]) {
    joint->computeTransform(positions_ + joint->getFirstVariableIndex(), joint_transforms_[index]);
    dirty_joints_[index] = 0;
  }
  return joint_transforms_[index];
}

void RobotState::updateLinkTransforms() {
  if (!dirty_links_root_) return;
  updateLinkTransformsInternal(dirty_links_root_);
  dirty_bodies_root_ = dirty_bodies_root_ ? model_->getCommonRoot(dirty_bodies_root_, dirty_links_root_)
                                          : dirty_links_root_;
  dirty_links_root_ = nullptr;
}

void RobotState::updateLinkTransformsInternal(const JointModel* start) {
  for (const LinkModel* link : start->getDescendantLinkModels()) {
    const LinkModel* parent = link->getParentLinkModel();
    Eigen::Isometry3d& pose = link_transforms_[link->getLinkIndex()];
    if (parent) {
      const Eigen::Isometry3d& parent_pose = link_transforms_[parent->getLinkIndex()];
      if (link->parentJointIsFixed()) {
        pose = parent_pose * link->getJointOriginTransform();
      } else if (link->jointOriginTransformIsIdentity()) {
        pose = parent_pose * getJointTransform(link->getParentJointModel());
      } else {
        pose = parent_pose * link->getJointOriginTransform() * getJointTransform(link->getParentJointModel());
      }
    } else if (link->jointOriginTransformIsIdentity()) {
      pose = getJointTransform(link->getParentJointModel());
    } else {
      pose = link->getJointOriginTransform() * getJointTransform(link->getParentJointModel());
    }
  }
  for (auto& entry : attached_bodies_) {
    AttachedBody& body = *entry.second;
    const Eigen::Isometry3d& link_pose = link_transforms_[body.parent_link_->getLinkIndex()];
    for (std::size_t k = 0; k < body.shape_poses_.size(); ++k) {
      body.global_shape_poses_[k] = link_pose * body.shape_poses_[k];
    }
  }
}

void RobotState::updateCollisionBodyTransforms() {
  if (dirty_links_root_) updateLinkTransforms();
  if (!dirty_bodies_root_) return;
  const std::vector<const LinkModel*>& links = dirty_bodies_root_->getDescendantLinkModels();
  dirty_bodies_root_ = nullptr;
  for (const LinkModel* link : links) {
    const int first = link->getFirstCollisionBodyIndex();
    if (first < 0) continue;
    const Eigen::Isometry3d& link_pose = link_transforms_[link->getLinkIndex()];
    const auto& origins = link->getCollisionOriginTransforms();
    const std::vector<int>& identity = link->areCollisionOriginTransformsIdentity();
    for (std::size_t j = 0; j < origins.size(); ++j) {
      if (identity[j]) {
        body_transforms_[first + j] = link_pose;
      } else {
        body_transforms_[first + j] = link_pose * origins[j];
      }
    }
  }
}

void RobotState::checkAttachable(const AttachedBody& body) const {
  const LinkModel* link = body.parent_link_;
  const std::vector<const LinkModel*>& links = model_->getLinkModels();
  if (!link || link->getLinkIndex() >= links.size() || links[link->getLinkIndex()] != link) {
    throw std::runtime_error("Invalid link.");
  }
  if (body.shape_poses_.size() != body.shapes_.size()) {
    throw std::runtime_error("Attached body '" + body.id_ + "' needs one pose per shape.");
  }
}

void RobotState::attachBody(std::unique_ptr<AttachedBody> body) {
  puts("--------------------RobotState::attachBody--------------------0");
  checkAttachable(*body);
  clearAttachedBody(body->id_);
  updateLinkTransforms();
  const Eigen::Isometry3d& link_pose = link_transforms_[body->parent_link_->getLinkIndex()];
  body->global_shape_poses_.resize(body->shape_poses_.size());
  for (std::size_t k = 0; k < body->shape_poses_.size(); ++k) {
    body->global_shape_poses_[k] = link_pose * body->shape_poses_[k];
  }
  if (attach_callback_) attach_callback_(body.get(), true);
  const std::string id = body->id_;
  attached_bodies_[id] = std::move(body);
  ++attached_body_changes_;
}

void RobotState::clearAttachedBody(const std::string& id) {
  auto it = attached_bodies_.find(id);
  if (it == attached_bodies_.end()) return;
  if (attach_callback_) attach_callback_(it->second.get(), false);
  attached_bodies_.erase(it);
  ++attached_body_changes_;
}

const AttachedBody* RobotState::getAttachedBody(const std::string& id) const {
  auto it = attached_bodies_.find(id);
  return it == attached_bodies_.end() ? nullptr : it->second.get();
}

}  // namespace core
}  // namespace robot_model
