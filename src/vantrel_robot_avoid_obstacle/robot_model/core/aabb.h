#pragma once

#include <Eigen/Geometry>

namespace shapes {
class Shape;
}

namespace robot_model {
namespace core {

// Axis-aligned box; a default-constructed box is empty (min = +DBL_MAX, max = -DBL_MAX).
class AABB : public Eigen::AlignedBox3d {
 public:
  AABB() = default;
  AABB(const Eigen::Vector3d& min, const Eigen::Vector3d& max) : Eigen::AlignedBox3d(min, max) {}

  // Grows the box by a box of the given extents, centred at the transform's origin and rotated by it.
  void extendWithTransformedBox(const Eigen::Isometry3d& transform, const Eigen::Vector3d& box);
  // Grows the box to hold the shape placed at `pose`: a mesh's vertices, a primitive's box around its
  // centre; of any other shape only its origin.
  void extendWithShape(const Eigen::Isometry3d& pose, const shapes::Shape& shape);
};

}  // namespace core
}  // namespace robot_model
