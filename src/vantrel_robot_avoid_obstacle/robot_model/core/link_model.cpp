#include "robot_model/core/link_model.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "robot_model/core/aabb.h"
#include "robot_model/core/joint_model.h"
#include "robot_model/shapes/shapes.h"

namespace robot_model {
namespace core {

bool isIdentityTransform(const Eigen::Isometry3d& transform) {
  const Eigen::Matrix3d& r = transform.linear();
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const double v = r(i, j);
      if (i == j) {
        if (std::fabs(v - 1.0) > 1e-12 * std::min(std::fabs(v), 1.0)) return false;
      } else if (std::fabs(v) > 1e-12) {
        return false;
      }
    }
  }
  return transform.translation().norm() < DBL_EPSILON;
}

LinkModel::LinkModel(const std::string& name, std::size_t link_index) : name_(name), link_index_(link_index) {}

LinkModel::~LinkModel() = default;

void LinkModel::setParentJointModel(const JointModel* joint) {
  parent_joint_model_ = joint;
  is_parent_joint_fixed_ = joint->getType() == JointModel::FIXED;
}

void LinkModel::setJointOriginTransform(const Eigen::Isometry3d& transform) {
  joint_origin_transform_ = transform;
  joint_origin_transform_is_identity_ = isIdentityTransform(transform);
}

void LinkModel::setGeometry(
    const std::vector<std::shared_ptr<const shapes::Shape>>& shapes,
    const std::vector<Eigen::Isometry3d, Eigen::aligned_allocator<Eigen::Isometry3d>>& origins) {
  shapes_ = shapes;
  collision_origin_transforms_ = origins;
  collision_origin_transform_is_identity_.clear();
  for (const Eigen::Isometry3d& origin : origins) {
    collision_origin_transform_is_identity_.push_back(isIdentityTransform(origin) ? 1 : 0);
  }

  AABB aabb;
  for (std::size_t i = 0; i < shapes_.size(); ++i) {
    aabb.extendWithShape(collision_origin_transforms_[i], *shapes_[i]);
  }
  if (shapes_.empty() || aabb.isEmpty()) {
    shape_extents_.setZero();
    centered_bounding_box_offset_.setZero();
  } else {
    shape_extents_ = aabb.sizes();
    centered_bounding_box_offset_ = aabb.center();
  }
}

void LinkModel::setVisualMesh(const std::string& filename, const Eigen::Isometry3d& origin,
                              const Eigen::Vector3d& scale) {
  visual_mesh_filename_ = filename;
  visual_mesh_origin_ = origin;
  visual_mesh_scale_ = scale;
}

double chainLength(const LinkModel* link, const LinkModel* ancestor) {
  double length = 0.0;
  for (; link != nullptr && link != ancestor; link = link->getParentLinkModel()) {
    length += link->getJointOriginTransform().translation().norm();
    const JointModel* joint = link->getParentJointModel();
    if (joint != nullptr && joint->getType() == JointModel::PRISMATIC) {
      // A mimic joint goes where its source's range takes it, whatever its own limits say.
      const JointModel* driver = joint->getMimic() != nullptr ? joint->getMimic() : joint;
      const double factor = joint->getMimic() != nullptr ? joint->getMimicFactor() : 1.0;
      const double offset = joint->getMimic() != nullptr ? joint->getMimicOffset() : 0.0;
      for (const VariableBounds& bounds : driver->getVariableBounds()) {
        length += std::max(std::fabs(factor * bounds.min_position_ + offset),
                           std::fabs(factor * bounds.max_position_ + offset));
      }
    }
  }
  return length;
}

}  // namespace core
}  // namespace robot_model
