// How ROS names, types and QoS profiles appear on the DDS wire.
#ifndef RCLCPP__DDS__DDS_NAMES_HPP_
#define RCLCPP__DDS__DDS_NAMES_HPP_

#include <string>

#include "dds/dds.h"
#include "rmw/types.h"
#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"

namespace rclcpp
{
namespace dds
{

// "rt/ns/topic", "rq/ns/serviceRequest", "rr/ns/serviceReply"; `prefix` is "rt", "rq" or "rr".
std::string topic_name(
  const std::string & prefix, const std::string & fully_qualified_name, const std::string & suffix,
  const rmw_qos_profile_t & qos);

// "pkg::msg::dds_::Type_" from the type's introspection.
std::string type_name(const rosidl_typesupport_introspection_cpp::MessageMembers & members);

// A new QoS object the caller deletes.
dds_qos_t * make_qos(const rmw_qos_profile_t & profile, bool for_writer);

}  // namespace dds
}  // namespace rclcpp

#endif  // RCLCPP__DDS__DDS_NAMES_HPP_
