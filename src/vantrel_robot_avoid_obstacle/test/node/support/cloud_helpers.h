#pragma once

#include <algorithm>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>
#include <pcl/io/pcd_io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

using Cloud = pcl::PointCloud<pcl::PointXYZ>;

inline Cloud::Ptr makeCloud(std::initializer_list<pcl::PointXYZ> points)
{
  Cloud::Ptr cloud(new Cloud);
  for (const pcl::PointXYZ& point : points)
  {
    cloud->push_back(point);
  }
  return cloud;
}

// The library's reader cannot take a file without points: check those with expectEmptyPcd.
inline Cloud readPcd(const std::string& path)
{
  Cloud cloud;
  EXPECT_EQ(pcl::PCDReader().read(path, cloud), 0) << path;
  return cloud;
}

inline void expectEmptyPcd(const std::string& text)
{
  EXPECT_EQ(text.rfind("# .PCD v0.7", 0), 0u) << text;
  EXPECT_NE(text.find("\nFIELDS x y z\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nWIDTH 0\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("\nPOINTS 0\nDATA ascii\n"), text.size() - 21) << text;
}

inline Cloud sortedByX(Cloud cloud)
{
  std::sort(cloud.begin(), cloud.end(), [](const pcl::PointXYZ& a, const pcl::PointXYZ& b) { return a.x < b.x; });
  return cloud;
}

// Same points in the same order, bit for bit, and one row of them (or nothing at all).
inline ::testing::AssertionResult samePoints(const Cloud& actual, const Cloud& expected)
{
  if (actual.size() != expected.size() || actual.width != actual.size() || actual.height != (actual.empty() ? 0u : 1u))
  {
    return ::testing::AssertionFailure() << actual.size() << " points in " << actual.width << "x" << actual.height
                                         << ", expected " << expected.size();
  }
  for (std::size_t i = 0; i < actual.size(); ++i)
  {
    const pcl::PointXYZ &a = actual[i], &e = expected[i];
    if (a.x != e.x || a.y != e.y || a.z != e.z)
    {
      return ::testing::AssertionFailure() << "point " << i << " is " << a << ", expected " << e;
    }
  }
  return ::testing::AssertionSuccess();
}
