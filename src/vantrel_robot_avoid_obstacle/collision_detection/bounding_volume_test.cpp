#include "collision_detection/bounding_volume_test.h"

#include <fcl/math/bv/OBB.h>

namespace collision_detection
{
namespace
{
// Well above the narrow phase's tolerance (1e-6) and the rounding of poses and voxel bounds, and
// small enough to let through only the pairs that were close anyway.
constexpr double kMargin = 1e-4;

// Written so that a NaN bound counts as meeting: such a pair is left to the narrow phase.
bool apart(const fcl::AABBd& box, const double* lo, const double* hi)
{
  for (int k = 0; k < 3; ++k)
    if (box.min_[k] > hi[k] || box.max_[k] < lo[k])
      return true;
  return false;
}

bool finite(const fcl::AABBd& box)
{
  return box.min_.allFinite() && box.max_.allFinite();
}

fcl::AABBd withMargin(fcl::AABBd box)
{
  box.min_.array() -= kMargin;
  box.max_.array() += kMargin;
  return box;
}

fcl::OBBd placedBox(const fcl::CollisionObjectd& object)
{
  const fcl::AABBd& local = object.collisionGeometry()->aabb_local;
  const fcl::Transform3d& pose = object.getTransform();
  return fcl::OBBd(pose.linear(), pose * local.center(), 0.5 * (local.max_ - local.min_).array() + kMargin);
}

const OcTreeGeometry* ourOcTree(const fcl::CollisionObjectd& object)
{
  if (object.getObjectType() != fcl::OT_OCTREE)
    return nullptr;
  return dynamic_cast<const OcTreeGeometry*>(object.collisionGeometry().get());
}

bool octreeMayTouch(const fcl::CollisionObjectd& octree_object, const OcTreeGeometry& octree,
                    const fcl::CollisionObjectd& other)
{
  const fcl::AABBd& local = other.collisionGeometry()->aabb_local;
  if (!finite(local))
    return true;
  const fcl::Transform3d in_tree = octree_object.getTransform().inverse(Eigen::Isometry) * other.getTransform();
  return octree.occupiedLeafMeets(withMargin(boxAround(local, in_tree)));
}
}  // namespace

OcTreeGeometry::OcTreeGeometry(const std::shared_ptr<const octomap::OcTree>& tree) : fcl::OcTreed(tree), octomap_(tree)
{
}

bool OcTreeGeometry::occupiedLeafMeets(const fcl::AABBd& box) const
{
  const octomap::OcTreeNode* root = octomap_->getRoot();
  if (root == nullptr)
    return false;
  const fcl::AABBd cell = getRootBV();
  const double* lo = cell.min_.data();
  const double* hi = cell.max_.data();
  return !apart(box, lo, hi) && occupiedLeafMeets(root, lo, hi, box);
}

bool OcTreeGeometry::occupiedLeafMeets(const octomap::OcTreeNode* node, const double* cell_min,
                                       const double* cell_max, const fcl::AABBd& box) const
{
  if (!octomap_->nodeHasChildren(node))
    return isNodeOccupied(node);
  // Child i takes the upper half along axis k when bit k of i is set; halves are split at the
  // midpoint computed as FCL's traversal computes it. Only the halves the box meets are visited.
  double mid[3];
  unsigned first[3], last[3];
  for (int k = 0; k < 3; ++k)
  {
    mid[k] = (cell_min[k] + cell_max[k]) * 0.5;
    first[k] = box.min_[k] > mid[k] ? 1u : 0u;
    last[k] = box.max_[k] < mid[k] ? 0u : 1u;
  }
  for (unsigned z = first[2]; z <= last[2]; ++z)
    for (unsigned y = first[1]; y <= last[1]; ++y)
      for (unsigned x = first[0]; x <= last[0]; ++x)
      {
        const unsigned i = x | y << 1 | z << 2;
        if (!octomap_->nodeChildExists(node, i))
          continue;
        const unsigned upper[3] = { x, y, z };
        double child_min[3], child_max[3];
        for (int k = 0; k < 3; ++k)
        {
          child_min[k] = upper[k] ? mid[k] : cell_min[k];
          child_max[k] = upper[k] ? cell_max[k] : mid[k];
        }
        if (occupiedLeafMeets(octomap_->getNodeChild(node, i), child_min, child_max, box))
          return true;
      }
  return false;
}

fcl::AABBd boxAround(const fcl::AABBd& local, const fcl::Transform3d& pose)
{
  const fcl::Vector3d center = pose * local.center();
  const fcl::Vector3d half = pose.linear().cwiseAbs() * (0.5 * (local.max_ - local.min_));
  return fcl::AABBd(center - half, center + half);
}

bool mayTouch(const fcl::CollisionObjectd& o1, const fcl::CollisionObjectd& o2)
{
  const OcTreeGeometry* tree1 = ourOcTree(o1);
  const OcTreeGeometry* tree2 = ourOcTree(o2);
  if (tree1 != nullptr && tree2 == nullptr)
    return octreeMayTouch(o1, *tree1, o2);
  if (tree2 != nullptr && tree1 == nullptr)
    return octreeMayTouch(o2, *tree2, o1);
  if (o1.getObjectType() == fcl::OT_OCTREE || o2.getObjectType() == fcl::OT_OCTREE)
    return true;
  if (!finite(o1.collisionGeometry()->aabb_local) || !finite(o2.collisionGeometry()->aabb_local))
    return true;
  return placedBox(o1).overlap(placedBox(o2));
}
}  // namespace collision_detection
