#include "support/held_box.h"

#include <algorithm>
#include <memory>

#include <fcl/narrowphase/collision.h>

#include "kinematics/kinematics_interface.h"
#include "support/in_process_node.h"

namespace {

fcl::CollisionObjectd solidObject(const Eigen::Vector3d& size, const Eigen::Isometry3d& pose) {
  return fcl::CollisionObjectd(std::make_shared<fcl::Boxd>(size), pose);
}

}  // namespace

arm_sim::Cuboid around(const Eigen::Vector2d& centre, const Eigen::Vector3d& size, double bottom) {
  const Eigen::Vector3d half(size.x() / 2, size.y() / 2, 0.0);
  const Eigen::Vector3d base(centre.x(), centre.y(), bottom);
  return {base - half, base + half + Eigen::Vector3d(0, 0, size.z())};
}

double depthInto(const arm_sim::Cuboid& solid, const Eigen::Vector3d& size, const Eigen::Isometry3d& pose) {
  const Eigen::Isometry3d solid_pose(Eigen::Translation3d((solid.min + solid.max) / 2));
  const fcl::CollisionObjectd a = solidObject(solid.max - solid.min, solid_pose);
  const fcl::CollisionObjectd b = solidObject(size, pose);
  fcl::CollisionResultd result;
  if (fcl::collide(&a, &b, fcl::CollisionRequestd(1, true), result) == 0) return 0.0;
  return std::max(0.0, result.getContact(0).penetration_depth);
}

HeldBox::HeldBox(RosTwoWrapper& node, const std::vector<double>& grasp, const arm_sim::Cuboid& box)
    : kinematics_(*RosTwoWrapperTestAccess::scene(node).getPlanningGroup()->kinematics_interface_ptr_),
      size_(box.max - box.min) {
  const Eigen::Isometry3d at_grasp(Eigen::Translation3d((box.min + box.max) / 2));
  flange_to_box_ = flange(grasp).inverse() * at_grasp;
}

double HeldBox::lowestZ(const std::vector<double>& q) const {
  const Eigen::Isometry3d pose = at(q);
  return pose.translation().z() - pose.linear().row(2).cwiseAbs().dot(size_.transpose()) / 2;
}

Eigen::Isometry3d HeldBox::flange(const std::vector<double>& q) const {
  return Eigen::Isometry3d(Eigen::Matrix4d(kinematics_.forwardKinematics(q)));
}
