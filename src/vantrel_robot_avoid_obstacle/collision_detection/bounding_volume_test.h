#pragma once

#include <memory>

#include <fcl/geometry/octree/octree.h>
#include <fcl/math/bv/AABB.h>
#include <fcl/narrowphase/collision_object.h>
#include <octomap/OcTree.h>

namespace collision_detection
{
// FCL's octree geometry with its octomap tree at hand, so that a box can be tested against the
// occupied leaves directly instead of through FCL's traversal from the root. The tree is read as
// it is at each test: its owner may refill it in place.
class OcTreeGeometry final : public fcl::OcTreed
{
public:
  explicit OcTreeGeometry(const std::shared_ptr<const octomap::OcTree>& tree);

  // Whether a leaf FCL takes as occupied meets the box (closed, in the tree's frame).
  bool occupiedLeafMeets(const fcl::AABBd& box) const;

private:
  bool occupiedLeafMeets(const octomap::OcTreeNode* node, const double* cell_min, const double* cell_max,
                         const fcl::AABBd& box) const;

  std::shared_ptr<const octomap::OcTree> octomap_;
};

// The box around a local box placed at a pose.
fcl::AABBd boxAround(const fcl::AABBd& local, const fcl::Transform3d& pose);

// A conservative test ahead of the narrow phase: false only when the narrow phase cannot find the
// two objects in contact. An octree is apart from an object when no occupied leaf meets the box
// around the object; two other objects are apart when their local boxes, placed at their poses,
// are. Both tests keep a margin above the narrow phase's own tolerance.
bool mayTouch(const fcl::CollisionObjectd& o1, const fcl::CollisionObjectd& o2);
}  // namespace collision_detection
