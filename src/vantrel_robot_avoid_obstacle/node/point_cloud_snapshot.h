#pragma once

#include <string>

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

// Writes `cloud` as an ASCII PCD file (8 significant digits) at `path`, through a temporary file in the same
// directory renamed over `path`, so a reader or a copy never sees a half-written file. An empty cloud gives a
// valid PCD without points. On failure prints "write pcd error.", leaves any previous file in place and
// returns false.
bool writePointCloudSnapshot(const std::string& path, const pcl::PointCloud<pcl::PointXYZ>& cloud);
