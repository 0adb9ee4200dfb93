#pragma once

#include <Eigen/Geometry>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace shapes {
class Shape;
}

namespace robot_model {
namespace core {

class LinkModel;

using IsometryVector = std::vector<Eigen::Isometry3d, Eigen::aligned_allocator<Eigen::Isometry3d>>;

// A body rigidly attached to a link of a robot state (for example a grabbed object).
// Once attached it is owned by the robot state.
struct AttachedBody {
  const LinkModel* parent_link_ = nullptr;
  std::string id_;
  std::vector<std::shared_ptr<const shapes::Shape>> shapes_;
  // Pose of each shape relative to the parent link.
  IsometryVector shape_poses_;
  // Links that may touch the body without a collision being reported.
  std::set<std::string> touch_links_;
  // Global pose of each shape, kept current by the robot state.
  IsometryVector global_shape_poses_;

  EIGEN_MAKE_ALIGNED_OPERATOR_NEW
};

}  // namespace core
}  // namespace robot_model
