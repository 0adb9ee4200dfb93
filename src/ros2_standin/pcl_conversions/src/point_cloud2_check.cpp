// Checks that a PointCloud2 can be read as points of a given PCL type without leaving its data.
#include "pcl_conversions/pcl_conversions.h"

#include <limits>

namespace pcl_conversions
{
namespace detail
{
namespace
{

std::string describe(const pcl::PCLPointField & field)
{
  return "datatype " + std::to_string(field.datatype) + " count " + std::to_string(field.count);
}

std::string checkField(const sensor_msgs::msg::PointCloud2 & cloud, const FieldRead & read)
{
  const pcl::PCLPointField & wanted = read.wanted;
  if (read.taken) {
    const std::uint64_t end = std::uint64_t{read.taken->offset} + read.bytes;
    if (end > cloud.point_step) {
      return "field '" + read.taken->name + "' read as '" + wanted.name + "' ends at byte " +
             std::to_string(end) + ", past point_step " + std::to_string(cloud.point_step);
    }
    return {};
  }
  for (const auto & field : cloud.fields) {
    if (field.name == wanted.name) {
      return "field '" + wanted.name + "' has datatype " + std::to_string(field.datatype) + " count " +
             std::to_string(field.count) + ", expected " + describe(wanted);
    }
  }
  return "field '" + wanted.name + "' (" + describe(wanted) + ") is missing";
}

}  // namespace

std::string findMalformation(
  const sensor_msgs::msg::PointCloud2 & cloud, const std::vector<FieldRead> & reads)
{
  if (cloud.is_bigendian) {
    return "big-endian data";
  }
  for (const auto & read : reads) {
    std::string problem = checkField(cloud, read);
    if (!problem.empty()) {
      return problem;
    }
  }
  const std::uint64_t points = std::uint64_t{cloud.width} * cloud.height;
  if (points > std::numeric_limits<pcl::uindex_t>::max()) {
    return "width * height = " + std::to_string(points) + " points, more than PCL can index";
  }
  const std::uint64_t row_bytes = std::uint64_t{cloud.width} * cloud.point_step;
  if (cloud.row_step < row_bytes) {
    return "row_step " + std::to_string(cloud.row_step) + " is less than width * point_step = " +
           std::to_string(row_bytes);
  }
  const std::uint64_t data_bytes = std::uint64_t{cloud.row_step} * cloud.height;
  if (cloud.data.size() != data_bytes) {
    return "data holds " + std::to_string(cloud.data.size()) + " bytes, row_step * height = " +
           std::to_string(data_bytes);
  }
  return {};
}

}  // namespace detail
}  // namespace pcl_conversions
