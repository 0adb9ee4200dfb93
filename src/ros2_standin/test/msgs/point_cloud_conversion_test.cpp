// Point clouds through pcl::toROSMsg / pcl::fromROSMsg, and messages that must be refused.
#include <gtest/gtest.h>

#include <pcl/point_types.h>
#include <pcl_conversions/pcl_conversions.h>

#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace
{

using sensor_msgs::msg::PointCloud2;
using sensor_msgs::msg::PointField;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

pcl::PointCloud<pcl::PointXYZ> cloudWithNaNs()
{
  pcl::PointCloud<pcl::PointXYZ> cloud;
  cloud.push_back(pcl::PointXYZ(1.0f, -2.5f, 3.25f));
  cloud.push_back(pcl::PointXYZ(kNaN, kNaN, kNaN));
  cloud.push_back(pcl::PointXYZ(0.0f, kNaN, 7.0f));
  cloud.push_back(pcl::PointXYZ(-1e-3f, 1e6f, -0.0f));
  cloud.width = 2;  // organised: two rows of two
  cloud.height = 2;
  cloud.is_dense = false;
  cloud.header.frame_id = "camera1_link";
  cloud.header.stamp = 1700000000123456ull;  // microseconds
  return cloud;
}

// Bit for bit, so that NaN and -0 compare as themselves.
bool samePoint(const pcl::PointXYZ & a, const pcl::PointXYZ & b)
{
  return std::memcmp(a.data, b.data, 3 * sizeof(float)) == 0;
}

PointField field(
  const std::string & name, uint32_t offset, uint8_t datatype = PointField::FLOAT32,
  uint32_t count = 1)
{
  return PointField().set__name(name).set__offset(offset).set__datatype(datatype).set__count(count);
}

// Two rows of two points as another producer might lay them out: z before x and y, an
// intensity field, 20-byte points and 4 bytes of padding at the end of each row.
PointCloud2 foreignCloud()
{
  PointCloud2 msg;
  msg.header.frame_id = "camera2_link";
  msg.header.stamp.set__sec(12).set__nanosec(345678000);
  msg.height = msg.width = 2;
  msg.fields = {field("z", 0), field("x", 4), field("y", 8), field("intensity", 12)};
  msg.point_step = 20;
  msg.row_step = 44;
  msg.data.assign(88, 0);
  for (uint32_t row = 0; row < 2; ++row) {
    for (uint32_t col = 0; col < 2; ++col) {
      const float base = 10.0f * row + col;
      const float values[] = {base + 0.3f, base + 0.1f, base + 0.2f, 99.0f};
      std::memcpy(&msg.data[row * 44 + col * 20], values, sizeof values);
    }
  }
  msg.is_dense = true;
  return msg;
}

}  // namespace

TEST(PointCloudConversion, RoundTripKeepsNaNPointsHeaderAndShape)
{
  const auto original = cloudWithNaNs();
  PointCloud2 msg;
  pcl::toROSMsg(original, msg);
  EXPECT_EQ(msg.header.stamp.sec, 1700000000);
  EXPECT_EQ(msg.header.stamp.nanosec, 123456000u);
  pcl::PointCloud<pcl::PointXYZ> back;
  pcl::fromROSMsg(msg, back);
  ASSERT_EQ(back.size(), original.size());
  for (std::size_t i = 0; i < original.size(); ++i) {
    EXPECT_TRUE(samePoint(original[i], back[i])) << i;
  }
  EXPECT_EQ(std::make_tuple(back.width, back.height, back.is_dense), std::make_tuple(2u, 2u, false));
  EXPECT_EQ(back.header.frame_id, original.header.frame_id);
  EXPECT_EQ(back.header.stamp, original.header.stamp);

  // An empty cloud converts both ways without touching a first point.
  pcl::toROSMsg(pcl::PointCloud<pcl::PointXYZ>(), msg);
  EXPECT_EQ(msg.fields.size(), 3u);
  EXPECT_TRUE(msg.data.empty());
  pcl::fromROSMsg(msg, back);
  EXPECT_TRUE(back.empty());
  EXPECT_EQ(back.width, 0u);
}

// Another producer's layout is read; each spoilt copy of it gives an empty cloud.
TEST(PointCloudConversion, ReadsOtherLayoutsAndRefusesMalformedMessages)
{
  pcl::PointCloud<pcl::PointXYZ> out;
  pcl::fromROSMsg(foreignCloud(), out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(std::make_tuple(out.width, out.height, out.is_dense), std::make_tuple(2u, 2u, true));
  EXPECT_TRUE(samePoint(out[0], pcl::PointXYZ(0.1f, 0.2f, 0.3f)));
  EXPECT_TRUE(samePoint(out[3], pcl::PointXYZ(11.1f, 11.2f, 11.3f)));
  EXPECT_EQ(out.header.stamp, 12345678ull);
  EXPECT_EQ(out.header.frame_id, "camera2_link");

  const std::vector<std::pair<const char *, std::function<void(PointCloud2 &)>>> cases = {
    {"field y missing", [](PointCloud2 & m) {m.fields.erase(m.fields.begin() + 2);}},
    {"x as float64", [](PointCloud2 & m) {m.fields[1].datatype = PointField::FLOAT64;}},
    {"x with three elements", [](PointCloud2 & m) {m.fields[1].count = 3;}},
    {"y ends past the point", [](PointCloud2 & m) {m.fields[2].offset = 17;}},
    {"big-endian data", [](PointCloud2 & m) {m.is_bigendian = true;}},
    {"row shorter than its points", [](PointCloud2 & m) {m.row_step = 39;}},
    {"data one byte short", [](PointCloud2 & m) {m.data.pop_back();}},
    {"data one byte long", [](PointCloud2 & m) {m.data.push_back(0);}},
    {"width * height past 32 bits", [](PointCloud2 & m) {
        m.width = m.height = 65536;
        m.row_step = 0;
        m.data.clear();
      }},
    {"row_step * height wrapping to 0 in 32 bits", [](PointCloud2 & m) {
        m.width = 1;
        m.row_step = 0x80000000u;
        m.data.clear();
      }},
    {"width * point_step wrapping to 0 in 32 bits", [](PointCloud2 & m) {
        m.width = 0x10000000u;
        m.height = 1;
        m.point_step = 16;
        m.fields = {field("x", 0), field("y", 4), field("z", 8)};
        m.row_step = 0;
        m.data.clear();
      }},
    {"no fields at all", [](PointCloud2 & m) {m = PointCloud2{}; m.header.frame_id = "camera2_link";}},
  };
  const auto refused = [](const PointCloud2 & msg) {
      pcl::PointCloud<pcl::PointXYZ> out = cloudWithNaNs();
      pcl::fromROSMsg(msg, out);
      return out.empty() && out.width == 0 && out.height == 0 && out.header.frame_id == msg.header.frame_id;
    };
  for (const auto & [what, spoil] : cases) {
    PointCloud2 msg = foreignCloud();
    spoil(msg);
    EXPECT_TRUE(refused(msg)) << what;
  }
}

// "rgb" and "rgba" stand for each other in PCL's conversion, which also passes over an "rgb" of
// count 0: the check must look at the field the conversion then reads, nowhere else.
TEST(PointCloudConversion, ColourIsCheckedWhereTheConversionReadsIt)
{
  static constexpr uint32_t kColour = 0x80402010u;
  static constexpr uint32_t kFar = 100000000u;
  const auto colourCloud = [](std::vector<PointField> colour_fields) {
      PointCloud2 msg;
      msg.height = msg.width = 1;
      msg.fields = {field("x", 0), field("y", 4), field("z", 8)};
      msg.fields.insert(msg.fields.end(), colour_fields.begin(), colour_fields.end());
      msg.point_step = msg.row_step = 16;
      msg.data.assign(16, 0);
      std::memcpy(&msg.data[12], &kColour, sizeof kColour);
      return msg;
    };
  const PointField rgb_float = field("rgb", 12);
  const PointField rgba_uint = field("rgba", 12, PointField::UINT32);

  pcl::PointCloud<pcl::PointXYZRGB> rgb;
  pcl::fromROSMsg(colourCloud({rgba_uint}), rgb);
  ASSERT_EQ(rgb.size(), 1u) << "a UINT32 rgba serves as rgb";
  EXPECT_EQ(rgb[0].rgba, kColour);
  pcl::PointCloud<pcl::PointXYZRGBA> rgba;
  pcl::fromROSMsg(colourCloud({rgb_float}), rgba);
  ASSERT_EQ(rgba.size(), 1u) << "a FLOAT32 rgb serves as rgba";
  EXPECT_EQ(rgba[0].rgba, kColour);

  // An in-bounds look-alike first, then the field the conversion takes, far past the point.
  const PointField rgb_count_0 = field("rgb", 12, PointField::FLOAT32, 0);
  pcl::fromROSMsg(colourCloud({rgb_count_0, field("rgba", kFar, PointField::UINT32)}), rgb);
  EXPECT_TRUE(rgb.empty());
  pcl::fromROSMsg(colourCloud({field("rgb", kFar), rgba_uint}), rgba);
  EXPECT_TRUE(rgba.empty());
}
