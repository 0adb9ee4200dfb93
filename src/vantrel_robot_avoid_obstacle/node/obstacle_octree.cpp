#include "node/obstacle_octree.h"

#include <cmath>

namespace
{
// The checked key conversion casts to int first: NaN, infinities and coordinates far beyond the tree's range
// must not reach it. The comparison is false for NaN.
bool keyOf(const octomap::OcTree& tree, double x, double y, double z, octomap::OcTreeKey& key)
{
  const double half_range = tree.getResolution() * 32768.0;
  const auto near = [half_range](double coordinate) { return std::fabs(coordinate) < half_range; };
  return near(x) && near(y) && near(z) && tree.coordToKeyChecked(x, y, z, key);
}
}  // namespace

bool insideOctreeRange(const octomap::OcTree& tree, double x, double y, double z)
{
  octomap::OcTreeKey key;
  return keyOf(tree, x, y, z, key);
}

std::size_t countOutsideOctreeRange(const octomap::OcTree& tree, const pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  std::size_t outside = 0;
  for (const pcl::PointXYZ& point : cloud)
  {
    outside += !insideOctreeRange(tree, point.x, point.y, point.z);
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

double octreeCubeHalfEdge(const octomap::OcTree& tree)
{
  return tree.getResolution() * 32768.0;
}

bool octreeCubeContains(const octomap::OcTree& tree, double x, double y, double z)
{
  // The checked key conversion casts to int first: coordinates far beyond the cube must not reach it.
  const double half_edge = octreeCubeHalfEdge(tree);
  octomap::key_type key;
  for (const double coordinate : {x, y, z})
  {
    if (!(std::fabs(coordinate) < half_edge) || !tree.coordToKeyChecked(coordinate, key))
    {
      return false;
    }
  }
  return true;
}
