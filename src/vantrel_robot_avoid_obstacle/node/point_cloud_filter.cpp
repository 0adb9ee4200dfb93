#include "node/point_cloud_filter.h"

#include <cstdio>

#include <pcl/filters/passthrough.h>
#include <pcl/filters/statistical_outlier_removal.h>
#include <pcl/filters/voxel_grid.h>

#include "node/point_cloud_operations.h"

const char* const kObstacleSnapshotFile = "obstacle.pcd";

namespace
{
void keepInside(PointCloudFilter::Cloud::Ptr& cloud, const char* field, double min, double max)
{
  pcl::PassThrough<pcl::PointXYZ> pass;
  pass.setInputCloud(cloud);
  pass.setFilterFieldName(field);
  pass.setFilterLimits(static_cast<float>(min), static_cast<float>(max));
  pass.filter(*cloud);
}
}  // namespace

bool PointCloudFilter::filterPointCloud(const Cloud::ConstPtr& input, const Cloud::Ptr& output) const
{
  // Point by point: a cloud's dense flag is not trusted to mean it holds no NaN.
  Cloud::Ptr working(new Cloud);
  working->header = input->header;
  keepFinitePoints(*input, *working);

  keepInside(working, "x", min_x_, max_x_);
  keepInside(working, "y", min_y_, max_y_);
  keepInside(working, "z", min_z_, max_z_);
  if (working->empty())
  {
    std::puts("size of point clouds is 0");
    return false;
  }

  const float leaf = static_cast<float>(leaf_size_);
  pcl::VoxelGrid<pcl::PointXYZ> voxel_grid;
  voxel_grid.setInputCloud(working);
  voxel_grid.setLeafSize(leaf, leaf, leaf);
  voxel_grid.filter(*working);

  // The outlier removal needs mean_k_ neighbours besides each point itself, so at least mean_k_ + 1 points;
  // with fewer it averages past the neighbours it found. An obstacle seen by so few points is still one.
  if (working->size() <= static_cast<std::size_t>(mean_k_))
  {
    output->swap(*working);
    return true;
  }
  pcl::StatisticalOutlierRemoval<pcl::PointXYZ> outlier_removal;
  outlier_removal.setInputCloud(working);
  outlier_removal.setMeanK(mean_k_);
  outlier_removal.setStddevMulThresh(std_dev_mul_);
  outlier_removal.filter(*output);
  return true;
}
