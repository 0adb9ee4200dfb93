#include <cmath>
#include <filesystem>
#include <limits>

#include <gtest/gtest.h>

#include "node/point_cloud_filter.h"
#include "support/cloud_helpers.h"
#include "support/scratch_directory.h"

namespace
{
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The outlier removal keeps every point of a cloud of up to ten points under these settings: no mean distance
// lies more than (n - 1) / sqrt(n) sample deviations above the mean.
PointCloudFilter keepAllFilter(double leaf_size)
{
  PointCloudFilter filter;
  filter.mean_k_ = 2;
  filter.std_dev_mul_ = 3.0;
  filter.leaf_size_ = leaf_size;
  return filter;
}

std::string runFilter(const PointCloudFilter& filter, const Cloud::Ptr& input, const Cloud::Ptr& output)
{
  testing::internal::CaptureStdout();
  filter.filterPointCloud(input, output);
  return testing::internal::GetCapturedStdout();
}
}  // namespace

TEST(PointCloudFilter, OnlyNaNPointsLeaveOutputAndSnapshotAlone)
{
  ScratchDirectory scratch;
  const Cloud::Ptr output = makeCloud({{9, 9, 9}});
  EXPECT_EQ(runFilter(PointCloudFilter(), makeCloud({{kNaN, 0, 0}, {0, 0, kNaN}}), output),
            "\033[33m NaN points exis in pointclouds! \033[0m2\nsize of point clouds is 0\n");
  EXPECT_TRUE(samePoints(*output, *makeCloud({{9, 9, 9}})));
  EXPECT_FALSE(std::filesystem::exists(kObstacleSnapshotFile));
}

TEST(PointCloudFilter, PassThroughKeepsPointsOnItsBoundsOnly)
{
  ScratchDirectory scratch;
  PointCloudFilter filter = keepAllFilter(0.01);
  filter.min_x_ = -0.3, filter.max_x_ = 0.3, filter.min_y_ = -0.2, filter.max_y_ = 0.2;
  filter.min_z_ = 0.1, filter.max_z_ = 0.7;
  // Each bound in single precision, once on it and once just beyond.
  const Cloud::Ptr on_bounds = makeCloud({{-0.3f, 0, 0.4f}, {0.3f, 0, 0.4f}, {0, -0.2f, 0.4f}, {0, 0.2f, 0.4f},
                                          {0.1f, 0.1f, 0.1f}, {-0.1f, -0.1f, 0.7f}});
  const auto beyond = [](double bound, float direction) { return std::nextafter(static_cast<float>(bound), direction); };
  const Cloud::Ptr input(new Cloud(*on_bounds));
  for (const pcl::PointXYZ& p : {pcl::PointXYZ(beyond(-0.3, -1), 0, 0.4f), pcl::PointXYZ(beyond(0.3, 1), 0, 0.4f),
                                 pcl::PointXYZ(0, beyond(-0.2, -1), 0.4f), pcl::PointXYZ(0, beyond(0.2, 1), 0.4f),
                                 pcl::PointXYZ(0, 0, beyond(0.1, 0)), pcl::PointXYZ(0, 0, beyond(0.7, 1))})
  {
    input->push_back(p);
  }
  const Cloud::Ptr output(new Cloud);
  EXPECT_EQ(runFilter(filter, input, output), "");
  EXPECT_TRUE(samePoints(sortedByX(*output), sortedByX(*on_bounds)));
}

TEST(PointCloudFilter, VoxelGridAveragesEachVoxelAndOutlierRemovalDropsTheLoner)
{
  ScratchDirectory scratch;
  const Cloud::Ptr input = makeCloud({{0.01f, 0.01f, 0.01f}, {kNaN, 0.5f, 0.5f}, {0.03f, 0.05f, 0.07f},
                                      {0.51f, 0.01f, 0.01f}, {0.01f, 0.61f, 0.01f}, {0.05f, 0.65f, 0.01f},
                                      {0.09f, 0.69f, 0.04f}});
  const Cloud::Ptr output(new Cloud);
  runFilter(keepAllFilter(0.1), input, output);
  const Cloud expected = *makeCloud({{0.02f, 0.03f, 0.04f}, {0.05f, 0.65f, 0.02f}, {0.51f, 0.01f, 0.01f}});
  const Cloud actual = sortedByX(*output);
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i)
  {
    EXPECT_LT((actual[i].getVector3fMap() - expected[i].getVector3fMap()).norm(), 1e-6) << i;
  }

  // Mean distance to the two nearest neighbours: 0.1 for the square's corners, 1.3016 for the far point;
  // mean 0.3403 plus one sample deviation 0.5374 keeps the corners only.
  const Cloud::Ptr square = makeCloud({{0, 0, 0}, {0.1f, 0, 0}, {0, 0.1f, 0}, {0.1f, 0.1f, 0}});
  Cloud::Ptr with_loner(new Cloud(*square));
  with_loner->push_back({0.8f, 0.8f, 0.8f});
  PointCloudFilter filter = keepAllFilter(0.01);
  filter.std_dev_mul_ = 1.0;
  runFilter(filter, with_loner, output);
  EXPECT_TRUE(samePoints(sortedByX(*output), sortedByX(*square)));
}

TEST(PointCloudFilter, SnapshotHoldsTheResultAndAFailedWriteStillDeliversIt)
{
  ScratchDirectory scratch;
  const Cloud::Ptr input = makeCloud({{0.1f, 0.2f, 0.3f}, {-0.25f, 0.5f, 0.125f}});
  input->header.frame_id = "base_link";
  const Cloud::Ptr output(new Cloud);
  runFilter(keepAllFilter(0.01), input, output);
  EXPECT_EQ(output->header.frame_id, "base_link");
  EXPECT_TRUE(samePoints(sortedByX(readPcd(kObstacleSnapshotFile)), sortedByX(*input)));

  // A directory in the snapshot's place cannot be replaced by a file.
  std::filesystem::remove(kObstacleSnapshotFile);
  std::filesystem::create_directories(std::filesystem::path(kObstacleSnapshotFile) / "occupied");
  output->clear();
  EXPECT_EQ(runFilter(keepAllFilter(0.01), input, output), "write pcd error.\n");
  EXPECT_TRUE(samePoints(sortedByX(*output), sortedByX(*input)));
  EXPECT_EQ(scratch.fileCount(), 1u);
}
