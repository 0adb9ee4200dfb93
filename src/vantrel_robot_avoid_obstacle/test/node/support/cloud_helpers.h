#pragma once

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pcl/io/pcd_io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

using Cloud = pcl::PointCloud<pcl::PointXYZ>;
using Points = std::vector<std::array<float, 3>>;

inline Cloud::Ptr makeCloud(std::initializer_list<pcl::PointXYZ> points)
{
  Cloud::Ptr cloud(new Cloud);
  cloud->insert(cloud->end(), points.begin(), points.end());
  return cloud;
}

// The coordinates of the points, in order or sorted; the cloud must be one row of them (or nothing at all).
inline Points xyz(const Cloud& cloud, bool sorted = false)
{
  EXPECT_EQ(cloud.width, cloud.size());
  EXPECT_EQ(cloud.height, cloud.empty() ? 0u : 1u);
  Points points;
  for (const pcl::PointXYZ& point : cloud)
  {
    points.push_back({point.x, point.y, point.z});
  }
  if (sorted)
  {
    std::sort(points.begin(), points.end());
  }
  return points;
}

// The library's reader cannot take a file without points.
inline Cloud readPcd(const std::string& path)
{
  Cloud cloud;
  EXPECT_EQ(pcl::PCDReader().read(path, cloud), 0) << path;
  return cloud;
}
