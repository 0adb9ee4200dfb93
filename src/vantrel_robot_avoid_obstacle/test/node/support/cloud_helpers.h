#pragma once

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

// The cloud in a PCD file; fails the test when the file does not read as one. (The library's reader cannot
// take a file without points: see expectEmptyPcd.)
inline Cloud readPcd(const std::string& path)
{
  Cloud cloud;
  EXPECT_EQ(pcl::PCDReader().read(path, cloud), 0) << path;
  return cloud;
}

inline bool samePoint(const pcl::PointXYZ& a, const pcl::PointXYZ& b)
{
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

// Same points in the same order, bit for bit.
inline ::testing::AssertionResult samePoints(const Cloud& actual, const Cloud& expected)
{
  if (actual.size() != expected.size())
  {
    return ::testing::AssertionFailure() << actual.size() << " points, expected " << expected.size();
  }
  for (std::size_t i = 0; i < actual.size(); ++i)
  {
    if (!samePoint(actual[i], expected[i]))
    {
      return ::testing::AssertionFailure() << "point " << i << " is " << actual[i] << ", expected " << expected[i];
    }
  }
  return ::testing::AssertionSuccess();
}

// A PCD file that declares no points and holds none.
inline void expectEmptyPcd(const std::string& text)
{
  EXPECT_EQ(text.rfind("# .PCD v0.7"), 0u) << text;
  EXPECT_NE(text.find("\nFIELDS x y z\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nWIDTH 0\n"), std::string::npos) << text;
  const std::string end = "\nPOINTS 0\nDATA ascii\n";
  EXPECT_EQ(text.size() >= end.size() ? text.substr(text.size() - end.size()) : text, end);
}
