#include <gtest/gtest.h>

#include "node/point_cloud_snapshot.h"
#include "support/cloud_helpers.h"
#include "support/scratch_directory.h"

TEST(WritePointCloudSnapshot, ReplacesTheFileWholeOrNotAtAll)
{
  ScratchDirectory scratch;
  const Cloud::Ptr first = makeCloud({{0.12345678f, -1.5f, 2}, {3, 4, 5}});
  ASSERT_TRUE(writePointCloudSnapshot("snapshot.pcd", *first));
  EXPECT_TRUE(samePoints(readPcd("snapshot.pcd"), *first));
  // An empty cloud replaces the previous snapshot with a valid file of no points.
  ASSERT_TRUE(writePointCloudSnapshot("snapshot.pcd", Cloud()));
  expectEmptyPcd(readFile("snapshot.pcd"));

  ASSERT_TRUE(writePointCloudSnapshot("snapshot.pcd", *first));
  const std::string before = readFile("snapshot.pcd");
  Cloud inconsistent = *first;
  inconsistent.width = 7;  // more points claimed than held: the library's writer refuses it
  testing::internal::CaptureStdout();
  EXPECT_FALSE(writePointCloudSnapshot("snapshot.pcd", inconsistent));
  EXPECT_FALSE(writePointCloudSnapshot("no/such/directory.pcd", *first));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "write pcd error.\nwrite pcd error.\n");
  EXPECT_EQ(readFile("snapshot.pcd"), before);
  // No temporary file is left behind.
  EXPECT_EQ(scratch.fileCount(), 1u);
}
