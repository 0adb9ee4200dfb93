#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <sensor_msgs/msg/point_cloud2.hpp>

// Reads a PointCloud2 message into `cloud`. A malformed message (one that claims points but cannot be read
// as x, y, z floats) is dropped with a message: `cloud` is emptied and false returned.
bool pointCloudFromMessage(const sensor_msgs::msg::PointCloud2& message, pcl::PointCloud<pcl::PointXYZ>& cloud);
