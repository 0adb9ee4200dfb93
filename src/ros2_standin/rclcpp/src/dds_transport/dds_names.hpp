// How ROS names, types and QoS profiles appear on the DDS wire.
#ifndef RCLCPP__DDS__DDS_NAMES_HPP_
#define RCLCPP__DDS__DDS_NAMES_HPP_

#include <cstdint>
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

// The other way, for endpoints found on the network: the ROS name, kind and type of a DDS topic
// and type; false for DDS topics that are no ROS topic or service request (replies pair with
// requests and are not listed again).
struct RosEndpoint
{
  std::string name;
  std::string type;
  bool is_service = false;
};
bool ros_endpoint(const std::string & dds_topic, const std::string & dds_type, RosEndpoint & out);

// The parts of a DDS QoS the graph reports.
rmw_qos_profile_t ros_qos(const dds_qos_t * qos);

// What a service or client puts after "serviceid=" or "clientid=" in the user data of its two
// endpoints: the participant's GUID prefix and a 32-bit number, as dotted hex bytes.
std::string client_service_id(const dds_guid_t & participant, uint32_t number);

// A new QoS object the caller deletes.
dds_qos_t * make_qos(const rmw_qos_profile_t & profile, bool for_writer);

}  // namespace dds
}  // namespace rclcpp

#endif  // RCLCPP__DDS__DDS_NAMES_HPP_
