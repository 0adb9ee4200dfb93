#pragma once

#include <vector>

#include <Eigen/Core>

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

// How a grabbed box is cut out of the obstacle cloud: its edges scaled by this, then grown by the margin on every side.
constexpr double kObbCutScale = 1.5;
constexpr double kObbCutMargin = 0.03;

// Half edge lengths of the region a cut-out empties about a box of edge lengths `box_size`: each scaled by `scale`
// and then enlarged by `margin`, the one along the box's z axis at least 0.1 m.
Eigen::Vector3d obbCutHalfExtents(const double box_size[3], double scale, double margin);

// Fills `output` (emptied first) with the points of `input`, in order, that lie outside the oriented box of
// pose `box_pose` and edge lengths `box_size`, enlarged as obbCutHalfExtents says. Points on a face count as
// inside; points with a non-finite coordinate are dropped. Snapshots the result in "remove_obb_obstacle.pcd".
void removeObbObstaclePoints(const pcl::PointCloud<pcl::PointXYZ>::ConstPtr& input,
                             const pcl::PointCloud<pcl::PointXYZ>::Ptr& output, const Eigen::Matrix4d& box_pose,
                             const double box_size[3], double scale, double margin);

// The x, y of the points of `input` that the cut-out of half edge lengths `cut_half_extents` about `box_pose` removes
// and whose z lies in [z_low, z_high].
std::vector<Eigen::Vector2d> cutPointsBetween(const pcl::PointCloud<pcl::PointXYZ>& input,
                                              const Eigen::Matrix4d& box_pose, const Eigen::Vector3d& cut_half_extents,
                                              double z_low, double z_high);

// The file each cut-out leaves its result in, in the working directory.
extern const char* const kObbRemovedSnapshotFile;
