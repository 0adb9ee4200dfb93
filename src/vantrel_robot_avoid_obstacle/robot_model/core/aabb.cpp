#include "robot_model/core/aabb.h"

namespace robot_model {
namespace core {

void AABB::extendWithTransformedBox(const Eigen::Isometry3d& transform, const Eigen::Vector3d& box) {
  const Eigen::Vector3d half = 0.5 * (transform.linear().cwiseAbs() * box);
  const Eigen::Vector3d center = transform.translation();
  extend(center - half);
  extend(center + half);
}

}  // namespace core
}  // namespace robot_model
