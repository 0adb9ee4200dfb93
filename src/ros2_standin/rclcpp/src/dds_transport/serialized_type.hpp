// A Cyclone sample type that carries already serialised samples as they are: the codec does the
// typed work before writing and after taking, so one implementation serves every type name.
#ifndef RCLCPP__DDS__SERIALIZED_TYPE_HPP_
#define RCLCPP__DDS__SERIALIZED_TYPE_HPP_

#include <cstddef>
#include <string>
#include <vector>

#include "dds/dds.h"

struct ddsi_serdata;
struct ddsi_sertype;

namespace rclcpp
{
namespace dds
{

// A new sample type under `type_name`, handed to dds_create_topic_sertype, which owns it.
ddsi_sertype * make_serialized_type(const std::string & type_name);

// Wraps a serialised sample (encapsulation header first) for dds_writecdr, which owns it.
ddsi_serdata * make_serialized_sample(const ddsi_sertype * type, std::vector<unsigned char> bytes);

// The bytes of a sample taken with dds_takecdr from a reader of such a type.
const std::vector<unsigned char> & serialized_bytes(const ddsi_serdata * sample);

}  // namespace dds
}  // namespace rclcpp

#endif  // RCLCPP__DDS__SERIALIZED_TYPE_HPP_
