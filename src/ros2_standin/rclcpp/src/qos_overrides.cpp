#include "qos_overrides.hpp"

#include <cstdint>
#include <utility>

#include "rclcpp/exceptions.hpp"

namespace rclcpp
{

const char * qos_policy_kind_to_cstr(const QosPolicyKind & qpk)
{
  switch (qpk) {
    case QosPolicyKind::Depth: return "depth";
    case QosPolicyKind::Durability: return "durability";
    case QosPolicyKind::History: return "history";
    case QosPolicyKind::Reliability: return "reliability";
  }
  return "invalid";
}

namespace detail
{

namespace
{

template<typename PolicyT>
using Names = std::initializer_list<std::pair<PolicyT, const char *>>;

const Names<rmw_qos_history_policy_t> kHistory = {
  {RMW_QOS_POLICY_HISTORY_SYSTEM_DEFAULT, "system_default"},
  {RMW_QOS_POLICY_HISTORY_KEEP_LAST, "keep_last"},
  {RMW_QOS_POLICY_HISTORY_KEEP_ALL, "keep_all"}};
const Names<rmw_qos_reliability_policy_t> kReliability = {
  {RMW_QOS_POLICY_RELIABILITY_SYSTEM_DEFAULT, "system_default"},
  {RMW_QOS_POLICY_RELIABILITY_RELIABLE, "reliable"},
  {RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT, "best_effort"}};
const Names<rmw_qos_durability_policy_t> kDurability = {
  {RMW_QOS_POLICY_DURABILITY_SYSTEM_DEFAULT, "system_default"},
  {RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL, "transient_local"},
  {RMW_QOS_POLICY_DURABILITY_VOLATILE, "volatile"}};

template<typename PolicyT>
const char * name_of(PolicyT policy, const Names<PolicyT> & names)
{
  for (const auto & [value, name] : names) {
    if (value == policy) {
      return name;
    }
  }
  return "unknown";
}

template<typename PolicyT>
PolicyT policy_named(
  const ParameterValue & value, const Names<PolicyT> & names, const std::string & parameter_name)
{
  const std::string & text = value.get<std::string>();
  for (const auto & [policy, name] : names) {
    if (text == name) {
      return policy;
    }
  }
  throw exceptions::InvalidQosOverridesException(
          "parameter '" + parameter_name + "': '" + text + "' is no setting of this policy");
}

}  // namespace

ParameterValue qos_policy_value(const rmw_qos_profile_t & qos, QosPolicyKind kind)
{
  switch (kind) {
    case QosPolicyKind::Depth: return ParameterValue(static_cast<int64_t>(qos.depth));
    case QosPolicyKind::Durability: return ParameterValue(name_of(qos.durability, kDurability));
    case QosPolicyKind::History: return ParameterValue(name_of(qos.history, kHistory));
    case QosPolicyKind::Reliability:
      return ParameterValue(name_of(qos.reliability, kReliability));
  }
  return ParameterValue();
}

void apply_qos_override(
  rmw_qos_profile_t & qos, QosPolicyKind kind, const ParameterValue & value,
  const std::string & parameter_name)
{
  switch (kind) {
    case QosPolicyKind::Depth:
      if (value.get<int64_t>() < 0) {
        throw exceptions::InvalidQosOverridesException(
                "parameter '" + parameter_name + "': a depth cannot be negative");
      }
      qos.depth = static_cast<size_t>(value.get<int64_t>());
      break;
    case QosPolicyKind::Durability:
      qos.durability = policy_named(value, kDurability, parameter_name);
      break;
    case QosPolicyKind::History:
      qos.history = policy_named(value, kHistory, parameter_name);
      break;
    case QosPolicyKind::Reliability:
      qos.reliability = policy_named(value, kReliability, parameter_name);
      break;
  }
}

}  // namespace detail
}  // namespace rclcpp
