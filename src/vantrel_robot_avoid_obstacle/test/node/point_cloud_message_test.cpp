#include <gtest/gtest.h>
#include <pcl_conversions/pcl_conversions.h>

#include "node/point_cloud_message.h"
#include "support/cloud_helpers.h"

TEST(PointCloudFromMessage, ReadsWellFormedMessagesAndDropsMalformedOnes)
{
  const Cloud::Ptr points = makeCloud({{1, 2, 3}, {-4, 5.5f, 0}});
  sensor_msgs::msg::PointCloud2 good, empty;
  pcl::toROSMsg(*points, good);
  pcl::toROSMsg(Cloud(), empty);
  auto short_data = good, no_z = good, overlong = good;
  short_data.data.pop_back();
  no_z.fields.pop_back();
  overlong.width = overlong.height = 0xffffffffu;

  Cloud cloud;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(pointCloudFromMessage(good, cloud));
  EXPECT_TRUE(samePoints(cloud, *points));
  EXPECT_TRUE(pointCloudFromMessage(empty, cloud));
  EXPECT_TRUE(cloud.empty());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  for (const auto& malformed : {short_data, no_z, overlong})
  {
    cloud = *points;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(pointCloudFromMessage(malformed, cloud));
    EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("point cloud dropped: ", 0), 0u);
    EXPECT_TRUE(cloud.empty());
  }
}
