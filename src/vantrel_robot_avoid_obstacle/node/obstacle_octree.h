#pragma once

#include <cstddef>

#include <octomap/OcTree.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

// Whether the tree's keys reach the point: they cover a bounded cube of about 32768 voxels each way from the
// origin. False for a coordinate that is not finite.
bool insideOctreeRange(const octomap::OcTree& tree, double x, double y, double z);

// The number of points of `cloud` outside the tree's range: the tree cannot hold them.
std::size_t countOutsideOctreeRange(const octomap::OcTree& tree, const pcl::PointCloud<pcl::PointXYZ>& cloud);

// Empties `tree` and marks the cell of every point of `cloud` occupied: the tree ends exactly as after
// clearing it and updating each point in order (occupied, not lazy) followed by one inner-occupancy update,
// log-odds and pruning included, but without the per-point pruning and parent updates. Points that are not
// finite or lie outside the tree's range are skipped.
void rebuildObstacleOctree(octomap::OcTree& tree, const pcl::PointCloud<pcl::PointXYZ>& cloud);

// The tree's keys address a cube about the origin of this half edge (32768 cells of the resolution).
double octreeCubeHalfEdge(const octomap::OcTree& tree);
// Whether the point lies inside that cube, so that the tree can hold it; false for a coordinate that is not finite.
bool octreeCubeContains(const octomap::OcTree& tree, double x, double y, double z);
