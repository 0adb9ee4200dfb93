#include "node/point_cloud_message.h"

#include <cstdint>
#include <cstdio>

#include <pcl_conversions/pcl_conversions.h>

bool pointCloudFromMessage(const sensor_msgs::msg::PointCloud2& message, pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  pcl::fromROSMsg(message, cloud);
  // The checked conversion answers a malformed message with an empty cloud.
  const std::uint64_t claimed_points = static_cast<std::uint64_t>(message.width) * message.height;
  if (claimed_points > 0 && cloud.empty())
  {
    std::printf("point cloud dropped: the message of %ux%u points cannot be read as x, y, z floats\n",
                message.width, message.height);
    cloud.clear();
    return false;
  }
  return true;
}
