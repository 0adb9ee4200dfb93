#include "node/point_cloud_operations.h"

#include <cmath>
#include <cstdio>

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

void keepFinitePoints(const pcl::PointCloud<pcl::PointXYZ>& input, pcl::PointCloud<pcl::PointXYZ>& output)
{
  output.clear();
  output.reserve(input.size());
  for (const pcl::PointXYZ& point : input)
  {
    if (std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.z))
    {
      output.push_back(point);
    }
  }
  if (output.size() < input.size())
  {
    std::printf("\033[33m NaN points exis in pointclouds! \033[0m%zu\n", input.size() - output.size());
  }
}
