#pragma once

#include <cstddef>

#include <octomap/OcTree.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

// The tree's keys address a cube about the origin of this half edge (32768 cells of the resolution each way).
double octreeCubeHalfEdge(const octomap::OcTree& tree);

// Whether the tree's keys reach the point, so that the tree can hold it: the cube [-h, h) on each axis, as the
// tree's own checked key conversion decides. False for a coordinate that is not finite.
bool octreeCubeContains(const octomap::OcTree& tree, double x, double y, double z);

// The number of points of `cloud` outside the tree's cube: the tree cannot hold them.
std::size_t countOutsideOctreeCube(const octomap::OcTree& tree, const pcl::PointCloud<pcl::PointXYZ>& cloud);

// Empties `tree` and marks the cell of every point of `cloud` occupied: the tree ends exactly as after
// clearing it and updating each point in order (occupied, not lazy) followed by one inner-occupancy update,
// log-odds and pruning included, but without the per-point pruning and parent updates. Points that are not
// finite or lie outside the tree's cube are skipped.
void rebuildObstacleOctree(octomap::OcTree& tree, const pcl::PointCloud<pcl::PointXYZ>& cloud);
