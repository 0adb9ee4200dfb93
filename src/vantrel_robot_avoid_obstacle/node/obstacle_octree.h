#pragma once

#include <octomap/OcTree.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

// Empties `tree` and marks the cell of every point of `cloud` occupied: the tree ends exactly as after
// clearing it and updating each point in order (occupied, not lazy) followed by one inner-occupancy update,
// log-odds and pruning included, but without the per-point pruning and parent updates. Points that are not
// finite or lie outside the tree's range are skipped.
void rebuildObstacleOctree(octomap::OcTree& tree, const pcl::PointCloud<pcl::PointXYZ>& cloud);
