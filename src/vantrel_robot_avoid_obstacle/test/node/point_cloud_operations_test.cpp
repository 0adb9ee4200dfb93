#include <cmath>

#include <gtest/gtest.h>

#include "node/point_cloud_operations.h"
#include "support/cloud_helpers.h"

TEST(FilterPointCloudByZ, KeepsTheOpenBandInInputOrder)
{
  // z is compared widened to double: 0.15f lies just above 0.15 and is kept, the float below it is not;
  // 1.5f meets the upper bound exactly and is dropped.
  const Cloud::Ptr input = makeCloud({{1, 0, 1.0f},
                                      {2, 0, 1.5f},
                                      {3, 0, std::nextafter(0.15f, 0.0f)},
                                      {4, 0, 0.15f},
                                      {5, 0, std::nextafter(1.5f, 0.0f)},
                                      {6, 0, -1.0f}});
  const Cloud::Ptr output = makeCloud({{7, 7, 7}});
  filterPointCloudByZ(input, output, 1.5);
  EXPECT_TRUE(samePoints(*output, *makeCloud({{1, 0, 1.0f}, {4, 0, 0.15f}, {5, 0, std::nextafter(1.5f, 0.0f)}})));
  EXPECT_EQ(output->width, 3u);
  EXPECT_EQ(output->height, 1u);

  // Nothing kept: the output ends empty, not one row of nothing.
  filterPointCloudByZ(makeCloud({{0, 0, 2.0f}, {0, 0, 0.0f}}), output, 2.0);
  EXPECT_TRUE(output->empty());
  EXPECT_EQ(output->width, 0u);
  EXPECT_EQ(output->height, 0u);
}

TEST(ConcatenatePointClouds, JoinsInOrderAndKeepsTheOutputHeader)
{
  const Cloud::Ptr a = makeCloud({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
  const Cloud::Ptr b = makeCloud({{4, 4, 4}, {5, 5, 5}});
  const Cloud::Ptr output = makeCloud({{9, 9, 9}});
  output->header.frame_id = "base";
  concatenatePointClouds(a, b, output);
  EXPECT_TRUE(samePoints(*output, *makeCloud({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}})));
  EXPECT_EQ(output->width, 5u);
  EXPECT_EQ(output->height, 1u);
  EXPECT_EQ(output->header.frame_id, "base");
  EXPECT_EQ(a->size(), 3u);
  EXPECT_EQ(b->size(), 2u);

  concatenatePointClouds(Cloud::Ptr(new Cloud), Cloud::Ptr(new Cloud), output);
  EXPECT_TRUE(output->empty());
  EXPECT_EQ(output->width, 0u);
  EXPECT_EQ(output->height, 0u);
}
