#include <cmath>

#include <gtest/gtest.h>

#include "node/point_cloud_operations.h"
#include "support/cloud_helpers.h"

TEST(FilterPointCloudByZ, KeepsTheOpenBandInInputOrder)
{
  // z is compared widened to double: 0.15f lies just above 0.15 and stays; 1.5f meets the bound and goes.
  const float below_floor = std::nextafter(0.15f, 0.0f), below_top = std::nextafter(1.5f, 0.0f);
  const Cloud::Ptr output = makeCloud({{7, 7, 7}});
  filterPointCloudByZ(makeCloud({{1, 0, 1}, {2, 0, 1.5f}, {3, 0, below_floor}, {4, 0, 0.15f}, {5, 0, below_top}, {6, 0, -1}}),
                      output, 1.5);
  EXPECT_TRUE(samePoints(*output, *makeCloud({{1, 0, 1}, {4, 0, 0.15f}, {5, 0, below_top}})));
  filterPointCloudByZ(makeCloud({{0, 0, 2}, {0, 0, 0}}), output, 2.0);
  EXPECT_TRUE(samePoints(*output, Cloud()));
}

TEST(ConcatenatePointClouds, JoinsInOrderAndKeepsTheOutputHeader)
{
  const Cloud::Ptr a = makeCloud({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
  const Cloud::Ptr output = makeCloud({{9, 9, 9}});
  output->header.frame_id = "base";
  concatenatePointClouds(a, makeCloud({{4, 4, 4}, {5, 5, 5}}), output);
  EXPECT_TRUE(samePoints(*output, *makeCloud({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}})));
  EXPECT_EQ(output->header.frame_id, "base");
  EXPECT_EQ(a->size(), 3u);
  concatenatePointClouds(Cloud::Ptr(new Cloud), Cloud::Ptr(new Cloud), output);
  EXPECT_TRUE(samePoints(*output, Cloud()));
}
