#include "node/point_cloud_operations.h"

namespace
{
constexpr double kMinimumDepth = 0.15;
}  // namespace

void filterPointCloudByZ(const pcl::PointCloud<pcl::PointXYZ>::ConstPtr& input,
                         const pcl::PointCloud<pcl::PointXYZ>::Ptr& output, double max_z)
{
  output->clear();
  for (const pcl::PointXYZ& point : *input)
  {
    const double z = point.z;
    if (z > kMinimumDepth && z < max_z)
    {
      output->push_back(point);
    }
  }
}

void concatenatePointClouds(const pcl::PointCloud<pcl::PointXYZ>::ConstPtr& a,
                            const pcl::PointCloud<pcl::PointXYZ>::ConstPtr& b,
                            const pcl::PointCloud<pcl::PointXYZ>::Ptr& output)
{
  output->clear();
  output->reserve(a->size() + b->size());
  for (const auto* cloud : {a.get(), b.get()})
  {
    for (const pcl::PointXYZ& point : *cloud)
    {
      output->push_back(point);
    }
  }
}
