#include "node/obstacle_octree.h"

#include <cmath>

void rebuildObstacleOctree(octomap::OcTree& tree, const pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  tree.clear();
  // The checked key conversion casts to int first: NaN, infinities and coordinates far beyond the tree's
  // range must not reach it. The comparison is false for NaN.
  const double half_range = tree.getResolution() * 32768.0;
  const auto in_range = [half_range](float coordinate) { return std::fabs(coordinate) < half_range; };
  octomap::OcTreeKey key;
  for (const pcl::PointXYZ& point : cloud)
  {
    if (in_range(point.x) && in_range(point.y) && in_range(point.z) &&
        tree.coordToKeyChecked(point.x, point.y, point.z, key))
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
