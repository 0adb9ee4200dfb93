#pragma once

#include <string>

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

// Writes `cloud` as an ASCII PCD file (8 significant digits) at `path`, through a temporary file in the same
// directory renamed over `path`, so a reader or a copy never sees a half-written file. An empty cloud gives a
// valid PCD without points. The temporary file is read back (every line there, the last one ended) and synced
// before the rename: on failure prints "write pcd error." with the file and the error, leaves any previous file
// whole and returns false.
bool writePointCloudSnapshot(const std::string& path, const pcl::PointCloud<pcl::PointXYZ>& cloud);
