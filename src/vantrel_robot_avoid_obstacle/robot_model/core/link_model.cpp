#include "robot_model/core/link_model.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "robot_model/core/aabb.h"
#include "robot_model/core/joint_model.h"
#include "robot_model/shapes/shapes.h"

namespace robot_model {
namespace core {

namespace {

Eigen::Vector3d boxExtentsOf(const shapes::Shape& shape) {
  switch (shape.type) {
    case shapes::SPHERE: {
      const double d = 2.0 * static_cast<const shapes::Sphere&>(shape).radius;
      return Eigen::Vector3d(d, d, d);
    }
    case shapes::BOX: {
      const auto& box = static_cast<const shapes::Box&>(shape);
      return Eigen::Vector3d(box.size[0], box.size[1], box.size[2]);
    }
    case shapes::CYLINDER: {
      const auto& cylinder = static_cast<const shapes::Cylinder&>(shape);
      return Eigen::Vector3d(2.0 * cylinder.radius, 2.0 * cylinder.radius, cylinder.length);
    }
    case shapes::CONE: {
      const auto& cone = static_cast<const shapes::Cone&>(shape);
      return Eigen::Vector3d(2.0 * cone.radius, 2.0 * cone.radius, cone.length);
    }
    default:
      return Eigen::Vector3d::Zero();
  }
}

}  // namespace

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
    const Eigen::Isometry3d& origin = collision_origin_transforms_[i];
    if (shapes_[i]->type == shapes::MESH) {
      const auto& mesh = static_cast<const shapes::Mesh&>(*shapes_[i]);
      for (unsigned int v = 0; v < mesh.vertex_count; ++v) {
        aabb.extend(origin * Eigen::Vector3d(mesh.vertices[3 * v], mesh.vertices[3 * v + 1], mesh.vertices[3 * v + 2]));
      }
    } else {
      aabb.extendWithTransformedBox(origin, boxExtentsOf(*shapes_[i]));
    }
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

}  // namespace core
}  // namespace robot_model
