#include "dds_names.hpp"

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
