// Which QoS policies of a publisher parameters may override.
#ifndef RCLCPP__QOS_OVERRIDING_OPTIONS_HPP_
#define RCLCPP__QOS_OVERRIDING_OPTIONS_HPP_

#include <initializer_list>
#include <vector>

namespace rclcpp
{

enum class QosPolicyKind
{
  Depth,
  Durability,
  History,
  Reliability,
};

// "depth", "durability", "history" or "reliability".
const char * qos_policy_kind_to_cstr(const QosPolicyKind & qpk);

class QosOverridingOptions
{
public:
  QosOverridingOptions() = default;
  QosOverridingOptions(std::initializer_list<QosPolicyKind> policy_kinds)
  : policy_kinds_(policy_kinds) {}

  const std::vector<QosPolicyKind> & get_policy_kinds() const {return policy_kinds_;}

private:
  std::vector<QosPolicyKind> policy_kinds_;
};

}  // namespace rclcpp

#endif  // RCLCPP__QOS_OVERRIDING_OPTIONS_HPP_
