#include <cmath>
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

// A 16UC1 image of the given rows of millimetre depths; `padding` bytes of garbage end every row.
std::shared_ptr<Image> depthImage(const std::vector<std::vector<std::uint16_t>>& rows, bool big_endian = false,
                                  std::uint32_t padding = 0)
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
      const std::uint8_t high = depth >> 8;
      const std::uint8_t low = depth & 0xff;
      image->data.push_back(big_endian ? high : low);
      image->data.push_back(big_endian ? low : high);
    }
    image->data.insert(image->data.end(), padding, 0xab);
  }
  return image;
}

struct Conversion
{
  bool converted;
  std::string printed;
};

Conversion convert(const Image::ConstSharedPtr& image, const Cloud::Ptr& output, float fx = 500.0f, float fy = 400.0f)
{
  testing::internal::CaptureStdout();
  const bool converted = depthImageToPointCloud(output, image, fx, 1.0f, fy, 0.5f);
  return {converted, testing::internal::GetCapturedStdout()};
}

void expectPoint(const pcl::PointXYZ& actual, double x, double y, double z)
{
  EXPECT_FLOAT_EQ(actual.x, static_cast<float>(x));
  EXPECT_FLOAT_EQ(actual.y, static_cast<float>(y));
  EXPECT_FLOAT_EQ(actual.z, static_cast<float>(z));
}
}  // namespace

TEST(DepthImageToPointCloud, PinholePointsInRowMajorOrderSkippingZeroDepths)
{
  // fx 500, fy 400, cx 1, cy 0.5: x = (u - 1) z / 500, y = (v - 0.5) z / 400.
  const std::vector<std::vector<std::uint16_t>> rows = {{1000, 0, 2000}, {0, 1500, 500}};
  for (const bool big_endian : {false, true})
  {
    for (const std::uint32_t padding : {0u, 6u})
    {
      const Cloud::Ptr output = makeCloud({{9, 9, 9}});
      const Conversion result = convert(depthImage(rows, big_endian, padding), output);
      ASSERT_TRUE(result.converted);
      EXPECT_EQ(result.printed, "");
      ASSERT_EQ(output->size(), 4u) << "big endian " << big_endian << ", padding " << padding;
      EXPECT_EQ(output->width, 4u);
      EXPECT_EQ(output->height, 1u);
      expectPoint((*output)[0], -0.002, -0.00125, 1.0);
      expectPoint((*output)[1], 0.004, -0.0025, 2.0);
      expectPoint((*output)[2], 0.0, 0.001875, 1.5);
      expectPoint((*output)[3], 0.001, 0.000625, 0.5);
    }
  }
}

TEST(DepthImageToPointCloud, ImagesWithoutDepthGiveAnEmptyCloud)
{
  for (const auto& rows : {std::vector<std::vector<std::uint16_t>>{{0, 0}, {0, 0}}, std::vector<std::vector<std::uint16_t>>{}})
  {
    const Cloud::Ptr output = makeCloud({{9, 9, 9}});
    EXPECT_TRUE(convert(depthImage(rows), output).converted);
    EXPECT_TRUE(output->empty());
    EXPECT_EQ(output->width, 0u);
    EXPECT_EQ(output->height, 0u);
  }
}

TEST(DepthImageToPointCloud, RefusesMissingIntrinsicsAndMalformedImages)
{
  const auto refused = [](const Image::ConstSharedPtr& image, float fx, float fy) {
    const Cloud::Ptr output = makeCloud({{9, 9, 9}});
    const Conversion result = convert(image, output, fx, fy);
    EXPECT_FALSE(result.converted);
    EXPECT_NE(result.printed.find("depth image dropped"), std::string::npos) << result.printed;
    EXPECT_TRUE(output->empty());
    EXPECT_EQ(output->width, 0u);
  };
  const std::shared_ptr<Image> good = depthImage({{1000, 1000}});
  const float infinity = std::numeric_limits<float>::infinity();
  for (const float f : {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), infinity})
  {
    refused(good, f, 400.0f);
    refused(good, 500.0f, f);
  }

  auto mono16 = std::make_shared<Image>(*good);
  mono16->encoding = "mono16";
  EXPECT_TRUE(convert(mono16, Cloud::Ptr(new Cloud)).converted);
  for (const char* encoding : {"rgb8", "32FC1", "16SC1", ""})
  {
    auto image = std::make_shared<Image>(*good);
    image->encoding = encoding;
    refused(image, 500.0f, 400.0f);
  }
  auto short_step = std::make_shared<Image>(*good);
  short_step->step = 3;
  refused(short_step, 500.0f, 400.0f);
  auto short_data = std::make_shared<Image>(*good);
  short_data->data.pop_back();
  refused(short_data, 500.0f, 400.0f);
  // Sizes whose products wrap around in 32 bits: width x 2 and step x height.
  auto wide = std::make_shared<Image>(*good);
  wide->width = 0x80000000u;
  wide->step = 0;
  refused(wide, 500.0f, 400.0f);
  auto tall = std::make_shared<Image>(*good);
  tall->step = 0x80000000u;
  tall->height = 2;
  refused(tall, 500.0f, 400.0f);
}
