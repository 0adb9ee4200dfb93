#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

// The cleaning filter every obstacle cloud passes before it enters the octree. A plain settings object:
// the node fills the fields from its configuration once and never changes them.
class PointCloudFilter
{
public:
  using Cloud = pcl::PointCloud<pcl::PointXYZ>;

  // Drops NaN points (counted in a message), keeps the points inside the pass-through box (bounds
  // inclusive), thins them on a voxel grid, removes statistical outliers into `output` and snapshots the
  // result in "obstacle.pcd". When nothing is left inside the box, `output` is left as it was and no
  // snapshot is written.
  void filterPointCloud(const Cloud::ConstPtr& input, const Cloud::Ptr& output) const;

  double min_x_ = -0.85;
  double max_x_ = 0.85;
  double min_y_ = -0.85;
  double max_y_ = 0.85;
  double min_z_ = -0.85;
  double max_z_ = 0.85;
  int mean_k_ = 50;
  double std_dev_mul_ = 1.0;
  double leaf_size_ = 0.005;
};

// The file each filter run leaves its result in, in the working directory.
extern const char* const kObstacleSnapshotFile;
