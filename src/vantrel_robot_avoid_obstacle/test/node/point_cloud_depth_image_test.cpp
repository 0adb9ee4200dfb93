#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "node/point_cloud_depth_image.h"
#include "support/cloud_helpers.h"

namespace
{
using Image = sensor_msgs::msg::Image;
using Depths = std::vector<std::vector<std::uint16_t>>;

// A 16UC1 image of millimetre depths; `padding` bytes of garbage end every row.
std::shared_ptr<Image> depthImage(const Depths& rows, bool big_endian = false, std::uint32_t padding = 0)
{
  auto image = std::make_shared<Image>();
  image->encoding = "16UC1";
  image->height = static_cast<std::uint32_t>(rows.size());
  image->width = rows.empty() ? 0 : static_cast<std::uint32_t>(rows[0].size());
  image->step = image->width * 2 + padding;
  image->is_bigendian = big_endian;
  for (const auto& row : rows)
  {
    for (const std::uint16_t depth : row)
    {
      const std::uint8_t high = depth >> 8, low = depth & 0xff;
      image->data.insert(image->data.end(), {big_endian ? high : low, big_endian ? low : high});
    }
    image->data.insert(image->data.end(), padding, 0xab);
  }
  return image;
}

// Converts with fx 500, cx 1, fy 400, cy 0.5 unless told otherwise; the output starts with a stale point. A
// refused image is reported on the console, a converted one is not.
bool convert(const Image::ConstSharedPtr& image, Cloud& cloud, float fx = 500.0f, float fy = 400.0f)
{
  const Cloud::Ptr output = makeCloud({{9, 9, 9}});
  testing::internal::CaptureStdout();
  const bool converted = depthImageToPointCloud(output, image, fx, 1.0f, fy, 0.5f);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed.empty(), converted) << printed;
  cloud = *output;
  return converted;
}
}  // namespace

TEST(DepthImageToPointCloud, PinholePointsInRowMajorOrderSkippingZeroDepths)
{
  // x = (u - 1) z / 500, y = (v - 0.5) z / 400, whatever the byte order and the row padding.
  const Cloud expected = *makeCloud({{-0.002f, -0.00125f, 1.0f}, {0.004f, -0.0025f, 2.0f}, {0.0f, 0.001875f, 1.5f},
                                     {0.001f, 0.000625f, 0.5f}});
  for (const bool big_endian : {false, true})
  {
    for (const std::uint32_t padding : {0u, 6u})
    {
      Cloud cloud;
      ASSERT_TRUE(convert(depthImage({{1000, 0, 2000}, {0, 1500, 500}}, big_endian, padding), cloud));
      ASSERT_TRUE(samePoints(cloud, expected)) << "big endian " << big_endian << ", padding " << padding;
    }
  }
  for (const Depths& no_depth : {Depths{{0, 0}, {0, 0}}, Depths{}})
  {
    Cloud cloud;
    EXPECT_TRUE(convert(depthImage(no_depth), cloud));
    EXPECT_TRUE(samePoints(cloud, Cloud()));
  }
}

TEST(DepthImageToPointCloud, RefusesMissingIntrinsicsAndMalformedImages)
{
  const auto expectRefused = [](const Image::ConstSharedPtr& image, float fx, float fy) {
    Cloud cloud;
    EXPECT_FALSE(convert(image, cloud, fx, fy));
    EXPECT_TRUE(samePoints(cloud, Cloud()));
  };
  const std::shared_ptr<Image> good = depthImage({{1000, 1000}});
  for (const float f : {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
  {
    expectRefused(good, f, 400.0f);
    expectRefused(good, 500.0f, f);
  }
  const auto variant = [&](auto&& change) {
    auto image = std::make_shared<Image>(*good);
    change(*image);
    return image;
  };
  Cloud cloud;
  EXPECT_TRUE(convert(variant([](Image& i) { i.encoding = "mono16"; }), cloud));
  for (const char* encoding : {"rgb8", "32FC1", "16SC1", ""})
  {
    expectRefused(variant([&](Image& i) { i.encoding = encoding; }), 500.0f, 400.0f);
  }
  expectRefused(variant([](Image& i) { i.step = 3; }), 500.0f, 400.0f);
  expectRefused(variant([](Image& i) { i.data.pop_back(); }), 500.0f, 400.0f);
  // Sizes whose products wrap around in 32 bits: width x 2, step x height.
  expectRefused(variant([](Image& i) { i.width = 0x80000000u, i.step = 0; }), 500.0f, 400.0f);
  expectRefused(variant([](Image& i) { i.step = 0x80000000u, i.height = 2; }), 500.0f, 400.0f);
}
