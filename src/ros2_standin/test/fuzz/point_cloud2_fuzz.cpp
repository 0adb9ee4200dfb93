// Fuzz entry point of pcl::fromROSMsg: arbitrary layouts, sizes and fields, read as each of
// several point types. A message is either refused (empty cloud) or read whole, in bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

#include <pcl/console/print.h>
#include <pcl/point_types.h>
#include <pcl_conversions/pcl_conversions.h>

#include "byte_reader.hpp"

namespace
{

// Names of the fields of the point types below, and some that match none of them.
const char * const kFieldNames[] = {"x", "y", "z", "rgb", "rgba", "intensity", "normal_x",
  "normal_y", "normal_z", "curvature", "fpfh", "", "xyz"};

template<typename PointT>
void convert(const sensor_msgs::msg::PointCloud2 & message)
{
  pcl::PointCloud<PointT> cloud;
  pcl::fromROSMsg(message, cloud);
  const std::uint64_t points = std::uint64_t{message.width} * message.height;
  if (!cloud.empty() && cloud.size() != points) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  static const bool quiet = (pcl::console::setVerbosityLevel(pcl::console::L_ALWAYS), true);
  (void)quiet;
  ByteReader input(data, size);
  const auto point_type = input.take<std::uint8_t>();
  sensor_msgs::msg::PointCloud2 message;
  message.height = input.take<std::uint32_t>();
  message.width = input.take<std::uint32_t>();
  message.point_step = input.take<std::uint32_t>();
  message.row_step = input.take<std::uint32_t>();
  message.is_bigendian = input.take<std::uint8_t>() & 1;
  const auto field_count = input.take<std::uint8_t>() % 8;
  for (int i = 0; i < field_count; ++i) {
    sensor_msgs::msg::PointField field;
    field.name = kFieldNames[input.take<std::uint8_t>() % std::size(kFieldNames)];
    field.offset = input.take<std::uint32_t>();
    field.datatype = input.take<std::uint8_t>();
    field.count = input.take<std::uint32_t>();
    message.fields.push_back(field);
  }
  message.data = input.rest();
  switch (point_type % 6) {
    case 0: convert<pcl::PointXYZ>(message); break;
    case 1: convert<pcl::PointXYZI>(message); break;
    case 2: convert<pcl::PointXYZRGB>(message); break;
    case 3: convert<pcl::PointXYZRGBA>(message); break;
    case 4: convert<pcl::PointXYZRGBNormal>(message); break;
    default: convert<pcl::FPFHSignature33>(message); break;
  }
  return 0;
}
