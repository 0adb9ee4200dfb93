#include "robot_model/core/aabb.h"

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

void AABB::extendWithTransformedBox(const Eigen::Isometry3d& transform, const Eigen::Vector3d& box) {
  const Eigen::Vector3d half = 0.5 * (transform.linear().cwiseAbs() * box);
  const Eigen::Vector3d center = transform.translation();
  extend(center - half);
  extend(center + half);
}

void AABB::extendWithShape(const Eigen::Isometry3d& pose, const shapes::Shape& shape) {
  if (shape.type != shapes::MESH) {
    extendWithTransformedBox(pose, boxExtentsOf(shape));
    return;
  }
  const auto& mesh = static_cast<const shapes::Mesh&>(shape);
  for (unsigned int v = 0; v < mesh.vertex_count; ++v) {
    extend(pose * Eigen::Vector3d(mesh.vertices[3 * v], mesh.vertices[3 * v + 1], mesh.vertices[3 * v + 2]));
  }
}

}  // namespace core
}  // namespace robot_model
