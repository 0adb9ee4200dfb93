#include "node/obstacle_octree.h"

#include <cmath>

namespace
{
// The checked key conversion casts to int before it compares: NaN, infinities and coordinates far beyond the cube
// must not reach it. Within twice the half edge the cast is safe and the conversion itself draws the boundary.
bool keyOf(const octomap::OcTree& tree, double x, double y, double z, octomap::OcTreeKey& key)
{
  const double reach = 2.0 * octreeCubeHalfEdge(tree);
  const auto castable = [reach](double coordinate) { return std::fabs(coordinate) <= reach; };
  return castable(x) && castable(y) && castable(z) && tree.coordToKeyChecked(x, y, z, key);
}
}  // namespace

double octreeCubeHalfEdge(const octomap::OcTree& tree)
{
  return tree.getResolution() * static_cast<double>(1u << (tree.getTreeDepth() - 1));
}

bool octreeCubeContains(const octomap::OcTree& tree, double x, double y, double z)
{
  octomap::OcTreeKey key;
  return keyOf(tree, x, y, z, key);
}

std::size_t countOutsideOctreeCube(const octomap::OcTree& tree, const pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  std::size_t outside = 0;
  for (const pcl::PointXYZ& point : cloud)
  {
    outside += !octreeCubeContains(tree, point.x, point.y, point.z);
  }
  return outside;
}

void rebuildObstacleOctree(octomap::OcTree& tree, const pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  tree.clear();
  octomap::OcTreeKey key;
  for (const pcl::PointXYZ& point : cloud)
  {
    if (keyOf(tree, point.x, point.y, point.z, key))
    {
      // Lazy: the parents are settled once below, to the same values.
      tree.updateNode(key, true, true);
    }
  }
  tree.updateInnerOccupancy();
  // Point-by-point updates collapse eight equal children as they go; collapsing at the end gives the same tree.
  tree.prune();
}
