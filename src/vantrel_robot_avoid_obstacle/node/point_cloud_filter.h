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
  // inclusive), thins them on a voxel grid and removes statistical outliers into `output`; a thinned cloud of
  // no more than mean_k_ points is kept whole. False, with `output` left as it was, when nothing is left inside
  // the box. Touches no file and no shared state: the caller snapshots the result it takes into the obstacle map.
  bool filterPointCloud(const Cloud::ConstPtr& input, const Cloud::Ptr& output) const;

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

// The file the obstacle map's latest filtered cloud is snapshotted in, in the working directory.
extern const char* const kObstacleSnapshotFile;
