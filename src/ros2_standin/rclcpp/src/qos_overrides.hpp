// QoS policies as the values of the "qos_overrides.*" parameters.
#ifndef QOS_OVERRIDES_HPP_
#define QOS_OVERRIDES_HPP_

#include <string>

#include "rclcpp/parameter_value.hpp"
#include "rclcpp/qos_overriding_options.hpp"
#include "rmw/types.h"

namespace rclcpp
{
namespace detail
{

// The policy's setting in the profile: the depth as an integer, the others as their names
// ("keep_last", "reliable", "transient_local", "system_default", ...).
ParameterValue qos_policy_value(const rmw_qos_profile_t & qos, QosPolicyKind kind);

// Sets the policy from a parameter value; throws exceptions::InvalidQosOverridesException for a
// value that names no setting.
void apply_qos_override(
  rmw_qos_profile_t & qos, QosPolicyKind kind, const ParameterValue & value,
  const std::string & parameter_name);

}  // namespace detail
}  // namespace rclcpp

#endif  // QOS_OVERRIDES_HPP_
