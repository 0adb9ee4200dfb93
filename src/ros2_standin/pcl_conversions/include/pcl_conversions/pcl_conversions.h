// Conversions between sensor_msgs point clouds and PCL clouds, through PCL's PCLPointCloud2.
//
// pcl::fromROSMsg checks the message before it reads a byte of it: for each field of the point
// type, the message field that PCL's conversion will read (found by PCL's own matching rules,
// which also let "rgb" and "rgba" stand for each other) must exist, and the bytes read from it
// must lie inside point_step; row_step must hold width points; data must hold exactly
// row_step * height bytes; width * height must fit PCL's index type; the data must be
// little-endian. All sizes are compared in 64-bit arithmetic.
// A message that fails a check gives an empty cloud (no points, width and height 0, dense, the
// message's header) and one error line on PCL's console; nothing is thrown, so a bad message
// from the network cannot take down the subscriber's thread.
#pragma once

#include <builtin_interfaces/msg/time.hpp>
#include <pcl/PCLHeader.h>
#include <pcl/PCLPointCloud2.h>
#include <pcl/PCLPointField.h>
#include <pcl/console/print.h>
#include <pcl/conversions.h>
#include <pcl/point_cloud.h>
#include <sensor_msgs/msg/point_cloud2.hpp>
#include <sensor_msgs/msg/point_field.hpp>
#include <std_msgs/msg/header.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pcl_conversions
{

// PCL stamps count microseconds.
inline void fromPCL(const std::uint64_t & pcl_stamp, builtin_interfaces::msg::Time & stamp)
{
  const std::uint64_t nanoseconds = pcl_stamp * 1000ull;
  stamp.sec = static_cast<std::int32_t>(nanoseconds / 1000000000ull);
  stamp.nanosec = static_cast<std::uint32_t>(nanoseconds % 1000000000ull);
}

inline void toPCL(const builtin_interfaces::msg::Time & stamp, std::uint64_t & pcl_stamp)
{
  const std::int64_t nanoseconds = static_cast<std::int64_t>(stamp.sec) * 1000000000ll + stamp.nanosec;
  pcl_stamp = static_cast<std::uint64_t>(nanoseconds) / 1000ull;
}

inline void fromPCL(const pcl::PCLHeader & pcl_header, std_msgs::msg::Header & header)
{
  fromPCL(pcl_header.stamp, header.stamp);
  header.frame_id = pcl_header.frame_id;
}

inline void toPCL(const std_msgs::msg::Header & header, pcl::PCLHeader & pcl_header)
{
  toPCL(header.stamp, pcl_header.stamp);
  pcl_header.seq = 0;
  pcl_header.frame_id = header.frame_id;
}

inline void fromPCL(const pcl::PCLPointField & pcl_pf, sensor_msgs::msg::PointField & pf)
{
  pf.name = pcl_pf.name;
  pf.offset = pcl_pf.offset;
  pf.datatype = pcl_pf.datatype;
  pf.count = pcl_pf.count;
}

inline void toPCL(const sensor_msgs::msg::PointField & pf, pcl::PCLPointField & pcl_pf)
{
  pcl_pf.name = pf.name;
  pcl_pf.offset = pf.offset;
  pcl_pf.datatype = pf.datatype;
  pcl_pf.count = pf.count;
}

inline void fromPCL(
  const std::vector<pcl::PCLPointField> & pcl_pfs, std::vector<sensor_msgs::msg::PointField> & pfs)
{
  pfs.resize(pcl_pfs.size());
  for (std::size_t i = 0; i < pcl_pfs.size(); ++i) {
    fromPCL(pcl_pfs[i], pfs[i]);
  }
}

inline void toPCL(
  const std::vector<sensor_msgs::msg::PointField> & pfs, std::vector<pcl::PCLPointField> & pcl_pfs)
{
  pcl_pfs.resize(pfs.size());
  for (std::size_t i = 0; i < pfs.size(); ++i) {
    toPCL(pfs[i], pcl_pfs[i]);
  }
}

// Everything but the point data.
inline void copyPCLPointCloud2MetaData(
  const pcl::PCLPointCloud2 & pcl_pc2, sensor_msgs::msg::PointCloud2 & pc2)
{
  fromPCL(pcl_pc2.header, pc2.header);
  pc2.height = pcl_pc2.height;
  pc2.width = pcl_pc2.width;
  fromPCL(pcl_pc2.fields, pc2.fields);
  pc2.is_bigendian = pcl_pc2.is_bigendian;
  pc2.point_step = pcl_pc2.point_step;
  pc2.row_step = pcl_pc2.row_step;
  pc2.is_dense = pcl_pc2.is_dense;
}

inline void copyPointCloud2MetaData(
  const sensor_msgs::msg::PointCloud2 & pc2, pcl::PCLPointCloud2 & pcl_pc2)
{
  toPCL(pc2.header, pcl_pc2.header);
  pcl_pc2.height = pc2.height;
  pcl_pc2.width = pc2.width;
  toPCL(pc2.fields, pcl_pc2.fields);
  pcl_pc2.is_bigendian = pc2.is_bigendian;
  pcl_pc2.point_step = pc2.point_step;
  pcl_pc2.row_step = pc2.row_step;
  pcl_pc2.is_dense = pc2.is_dense;
}

inline void fromPCL(const pcl::PCLPointCloud2 & pcl_pc2, sensor_msgs::msg::PointCloud2 & pc2)
{
  copyPCLPointCloud2MetaData(pcl_pc2, pc2);
  pc2.data = pcl_pc2.data;
}

inline void moveFromPCL(pcl::PCLPointCloud2 & pcl_pc2, sensor_msgs::msg::PointCloud2 & pc2)
{
  copyPCLPointCloud2MetaData(pcl_pc2, pc2);
  pc2.data.swap(pcl_pc2.data);
}

inline void toPCL(const sensor_msgs::msg::PointCloud2 & pc2, pcl::PCLPointCloud2 & pcl_pc2)
{
  copyPointCloud2MetaData(pc2, pcl_pc2);
  pcl_pc2.data = pc2.data;
}

namespace detail
{

// What the conversion reads for one field of the point type.
struct FieldRead
{
  pcl::PCLPointField wanted;                      // the point type's own field
  const pcl::PCLPointField * taken = nullptr;     // the message field read for it, if any
  std::size_t bytes = 0;                          // bytes read from that field per point
};

// Finds, field by field, what pcl::fromPCLPointCloud2 will read: the first message field that
// PCL's FieldMatches accepts, and the size of the point type's member.
template<typename PointT>
struct FieldReadFinder
{
  const std::vector<pcl::PCLPointField> & fields;
  std::vector<FieldRead> & reads;

  template<typename Tag>
  void operator()()
  {
    FieldRead read;
    read.wanted.name = pcl::traits::name<PointT, Tag>::value;
    read.wanted.datatype = pcl::traits::datatype<PointT, Tag>::value;
    read.wanted.count = pcl::traits::datatype<PointT, Tag>::size;
    read.bytes = sizeof(typename pcl::traits::datatype<PointT, Tag>::type);
    const auto taken = std::find_if(fields.begin(), fields.end(), pcl::FieldMatches<PointT, Tag>());
    read.taken = taken == fields.end() ? nullptr : &*taken;
    reads.push_back(read);
  }
};

// Empty when the message can be read as points with these reads; otherwise what is wrong.
std::string findMalformation(
  const sensor_msgs::msg::PointCloud2 & cloud, const std::vector<FieldRead> & reads);

template<typename T>
void makeEmpty(const std_msgs::msg::Header & header, pcl::PointCloud<T> & pcl_cloud)
{
  pcl_cloud.clear();
  toPCL(header, pcl_cloud.header);
  pcl_cloud.is_dense = true;
}

}  // namespace detail
}  // namespace pcl_conversions

namespace pcl
{

template<typename T>
void toROSMsg(const pcl::PointCloud<T> & pcl_cloud, sensor_msgs::msg::PointCloud2 & cloud)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl::toPCLPointCloud2(pcl_cloud, pcl_pc2);
  pcl_conversions::moveFromPCL(pcl_pc2, cloud);
}

template<typename T>
void fromROSMsg(const sensor_msgs::msg::PointCloud2 & cloud, pcl::PointCloud<T> & pcl_cloud)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl_conversions::copyPointCloud2MetaData(cloud, pcl_pc2);
  std::vector<pcl_conversions::detail::FieldRead> reads;
  pcl::for_each_type<typename pcl::traits::fieldList<T>::type>(
    pcl_conversions::detail::FieldReadFinder<T>{pcl_pc2.fields, reads});
  const std::string malformation = pcl_conversions::detail::findMalformation(cloud, reads);
  if (!malformation.empty()) {
    PCL_ERROR("[pcl::fromROSMsg] malformed PointCloud2: %s\n", malformation.c_str());
    pcl_conversions::detail::makeEmpty(cloud.header, pcl_cloud);
    return;
  }
  if (cloud.width == 0 || cloud.height == 0) {
    // PCL's copy would index the first point of the empty cloud.
    pcl_conversions::detail::makeEmpty(cloud.header, pcl_cloud);
    pcl_cloud.width = cloud.width;
    pcl_cloud.height = cloud.height;
    return;
  }
  // The same fields as checked: PCL matches them again on this very list.
  pcl_pc2.data = cloud.data;
  pcl::fromPCLPointCloud2(pcl_pc2, pcl_cloud);
}

}  // namespace pcl
