#include <gtest/gtest.h>
#include <pcl_conversions/pcl_conversions.h>

#include "node/point_cloud_message.h"
#include "support/cloud_helpers.h"

namespace
{
sensor_msgs::msg::PointCloud2 messageOf(const Cloud& cloud)
{
  sensor_msgs::msg::PointCloud2 message;
  pcl::toROSMsg(cloud, message);
  return message;
}

bool readMessage(const sensor_msgs::msg::PointCloud2& message, Cloud& cloud, std::string& printed)
{
  testing::internal::CaptureStdout();
  const bool read = pointCloudFromMessage(message, cloud);
  printed = testing::internal::GetCapturedStdout();
  return read;
}
}  // namespace

TEST(PointCloudFromMessage, ReadsWellFormedMessagesAndDropsMalformedOnes)
{
  const Cloud::Ptr points = makeCloud({{1, 2, 3}, {-4, 5.5f, 0}});
  Cloud cloud;
  std::string printed;
  ASSERT_TRUE(readMessage(messageOf(*points), cloud, printed));
  EXPECT_TRUE(samePoints(cloud, *points));
  EXPECT_EQ(printed, "");
  ASSERT_TRUE(readMessage(messageOf(Cloud()), cloud, printed));
  EXPECT_TRUE(cloud.empty());

  sensor_msgs::msg::PointCloud2 short_data = messageOf(*points);
  short_data.data.resize(short_data.data.size() - 1);
  sensor_msgs::msg::PointCloud2 no_z = messageOf(*points);
  no_z.fields.pop_back();
  sensor_msgs::msg::PointCloud2 overlong = messageOf(*points);
  overlong.width = 0xffffffffu;
  overlong.height = 0xffffffffu;
  for (const sensor_msgs::msg::PointCloud2& malformed : {short_data, no_z, overlong})
  {
    cloud = *points;
    EXPECT_FALSE(readMessage(malformed, cloud, printed));
    EXPECT_TRUE(cloud.empty());
    EXPECT_NE(printed.find("point cloud dropped"), std::string::npos) << printed;
  }
}
