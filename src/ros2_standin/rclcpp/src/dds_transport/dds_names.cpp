#include "dds_names.hpp"

#include <cstdio>
#include <cstring>

namespace rclcpp
{
namespace dds
{

namespace
{

bool specified(const rmw_time_t & time) {return time.sec != 0 || time.nsec != 0;}

dds_duration_t to_duration(const rmw_time_t & time)
{
  constexpr uint64_t max_seconds = INT64_MAX / 1000000000 - 1;
  if (time.sec >= max_seconds) {
    return DDS_INFINITY;
  }
  return static_cast<dds_duration_t>(time.sec * 1000000000ULL + time.nsec);
}

}  // namespace

std::string topic_name(
  const std::string & prefix, const std::string & fully_qualified_name, const std::string & suffix,
  const rmw_qos_profile_t & qos)
{
  if (qos.avoid_ros_namespace_conventions) {
    return fully_qualified_name;
  }
  return prefix + fully_qualified_name + suffix;
}

std::string type_name(const rosidl_typesupport_introspection_cpp::MessageMembers & members)
{
  return std::string(members.message_namespace_) + "::dds_::" + members.message_name_ + "_";
}

namespace
{

bool starts_with(const std::string & text, const std::string & prefix)
{
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(const std::string & text, const std::string & suffix)
{
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "pkg::srv::dds_::Name_Request_" -> "pkg/srv/Name" when `suffix` is "_Request_".
std::string ros_type(std::string type, const std::string & suffix)
{
  const std::string marker = "::dds_::";
  const size_t at = type.find(marker);
  if (at == std::string::npos || !ends_with(type, suffix)) {
    return type;
  }
  type = type.substr(0, at) + "::" + type.substr(at + marker.size());
  type.resize(type.size() - suffix.size());
  for (size_t colons; (colons = type.find("::")) != std::string::npos; ) {
    type.replace(colons, 2, "/");
  }
  return type;
}

}  // namespace

bool ros_endpoint(const std::string & dds_topic, const std::string & dds_type, RosEndpoint & out)
{
  if (starts_with(dds_topic, "rt/")) {
    out = RosEndpoint{dds_topic.substr(2), ros_type(dds_type, "_"), false};
    return true;
  }
  if (starts_with(dds_topic, "rq/") && ends_with(dds_topic, "Request")) {
    out = RosEndpoint{dds_topic.substr(2, dds_topic.size() - 2 - 7),
      ros_type(dds_type, "_Request_"), true};
    return true;
  }
  return false;
}

rmw_qos_profile_t ros_qos(const dds_qos_t * qos)
{
  rmw_qos_profile_t profile{};
  dds_history_kind_t history = DDS_HISTORY_KEEP_LAST;
  int32_t depth = 1;
  if (dds_qget_history(qos, &history, &depth)) {
    profile.history = history == DDS_HISTORY_KEEP_ALL ?
      RMW_QOS_POLICY_HISTORY_KEEP_ALL : RMW_QOS_POLICY_HISTORY_KEEP_LAST;
    profile.depth = depth > 0 ? static_cast<size_t>(depth) : 0;
  }
  dds_reliability_kind_t reliability = DDS_RELIABILITY_RELIABLE;
  dds_duration_t blocking = 0;
  if (dds_qget_reliability(qos, &reliability, &blocking)) {
    profile.reliability = reliability == DDS_RELIABILITY_BEST_EFFORT ?
      RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT : RMW_QOS_POLICY_RELIABILITY_RELIABLE;
  }
  dds_durability_kind_t durability = DDS_DURABILITY_VOLATILE;
  if (dds_qget_durability(qos, &durability)) {
    profile.durability = durability == DDS_DURABILITY_VOLATILE ?
      RMW_QOS_POLICY_DURABILITY_VOLATILE : RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL;
  }
  return profile;
}

std::string client_service_id(const dds_guid_t & participant, uint32_t number)
{
  unsigned char id[16];
  std::memcpy(id, participant.v, 12);
  for (size_t i = 0; i < 4; ++i) {
    id[12 + i] = static_cast<unsigned char>(number >> (24 - 8 * i));
  }
  // As ROS 2 nodes print it: the first byte two characters wide (space-padded), the others as
  // short as they come.
  char byte[4];
  std::snprintf(byte, sizeof(byte), "%2x", id[0]);
  std::string text = byte;
  for (size_t i = 1; i < sizeof(id); ++i) {
    std::snprintf(byte, sizeof(byte), ".%x", id[i]);
    text += byte;
  }
  return text;
}

dds_qos_t * make_qos(const rmw_qos_profile_t & profile, bool for_writer)
{
  dds_qos_t * qos = dds_create_qos();
  const bool keep_all = profile.history == RMW_QOS_POLICY_HISTORY_KEEP_ALL;
  const int32_t depth = profile.depth == 0 ? 1 : static_cast<int32_t>(profile.depth);
  dds_qset_history(qos, keep_all ? DDS_HISTORY_KEEP_ALL : DDS_HISTORY_KEEP_LAST, depth);
  if (profile.reliability == RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT) {
    dds_qset_reliability(qos, DDS_RELIABILITY_BEST_EFFORT, 0);
  } else {
    dds_qset_reliability(qos, DDS_RELIABILITY_RELIABLE, DDS_INFINITY);
  }
  if (profile.durability == RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL) {
    dds_qset_durability(qos, DDS_DURABILITY_TRANSIENT_LOCAL);
    dds_qset_durability_service(qos, 0, keep_all ? DDS_HISTORY_KEEP_ALL : DDS_HISTORY_KEEP_LAST,
      depth, DDS_LENGTH_UNLIMITED, DDS_LENGTH_UNLIMITED, DDS_LENGTH_UNLIMITED);
  } else {
    dds_qset_durability(qos, DDS_DURABILITY_VOLATILE);
  }
  if (specified(profile.deadline)) {
    dds_qset_deadline(qos, to_duration(profile.deadline));
  }
  if (for_writer && specified(profile.lifespan)) {
    dds_qset_lifespan(qos, to_duration(profile.lifespan));
  }
  const dds_duration_t lease = specified(profile.liveliness_lease_duration) ?
    to_duration(profile.liveliness_lease_duration) : DDS_INFINITY;
  dds_qset_liveliness(qos,
    profile.liveliness == RMW_QOS_POLICY_LIVELINESS_MANUAL_BY_TOPIC ?
    DDS_LIVELINESS_MANUAL_BY_TOPIC : DDS_LIVELINESS_AUTOMATIC, lease);
  dds_qset_writer_data_lifecycle(qos, false);
  const dds_data_representation_id_t xcdr1 = DDS_DATA_REPRESENTATION_XCDR1;
  dds_qset_data_representation(qos, 1, &xcdr1);
  return qos;
}

}  // namespace dds
}  // namespace rclcpp
