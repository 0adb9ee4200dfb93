#include <filesystem>

#include <gtest/gtest.h>

#include "node/point_cloud_snapshot.h"
#include "support/cloud_helpers.h"
#include "support/scratch_directory.h"

namespace
{
std::size_t filesIn(const std::filesystem::path& directory)
{
  return static_cast<std::size_t>(
      std::distance(std::filesystem::directory_iterator(directory), std::filesystem::directory_iterator()));
}
}  // namespace

TEST(WritePointCloudSnapshot, ReplacesTheFileWholeAndLeavesNoTemporaryBehind)
{
  ScratchDirectory scratch;
  const Cloud::Ptr first = makeCloud({{0.12345678f, -1.5f, 2}, {3, 4, 5}});
  ASSERT_TRUE(writePointCloudSnapshot("snapshot.pcd", *first));
  EXPECT_TRUE(samePoints(readPcd("snapshot.pcd"), *first));

  // An empty cloud replaces the previous snapshot with a valid file of no points.
  ASSERT_TRUE(writePointCloudSnapshot("snapshot.pcd", Cloud()));
  expectEmptyPcd(readFile("snapshot.pcd"));
  EXPECT_EQ(filesIn(scratch.path()), 1u);
}

TEST(WritePointCloudSnapshot, AFailedWriteKeepsThePreviousFile)
{
  ScratchDirectory scratch;
  const Cloud::Ptr kept = makeCloud({{1, 2, 3}});
  ASSERT_TRUE(writePointCloudSnapshot("snapshot.pcd", *kept));
  const std::string before = readFile("snapshot.pcd");

  Cloud inconsistent = *makeCloud({{4, 5, 6}});
  inconsistent.width = 7;  // more points claimed than held: the writer refuses it
  testing::internal::CaptureStdout();
  const bool written = writePointCloudSnapshot("snapshot.pcd", inconsistent);
  const bool missing_directory = writePointCloudSnapshot("no/such/directory.pcd", *kept);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "write pcd error.\nwrite pcd error.\n");
  EXPECT_FALSE(written);
  EXPECT_FALSE(missing_directory);
  EXPECT_EQ(readFile("snapshot.pcd"), before);
  EXPECT_EQ(filesIn(scratch.path()), 1u);
}
