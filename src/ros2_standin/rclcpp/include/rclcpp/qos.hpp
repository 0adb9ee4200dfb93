// Quality of service of publishers, subscriptions, services and clients.
#ifndef RCLCPP__QOS_HPP_
#define RCLCPP__QOS_HPP_

#include <cstddef>

#include "rmw/qos_profiles.h"
#include "rmw/types.h"

namespace rclcpp
{

enum class HistoryPolicy
{
  KeepLast = RMW_QOS_POLICY_HISTORY_KEEP_LAST,
  KeepAll = RMW_QOS_POLICY_HISTORY_KEEP_ALL,
  SystemDefault = RMW_QOS_POLICY_HISTORY_SYSTEM_DEFAULT,
  Unknown = RMW_QOS_POLICY_HISTORY_UNKNOWN,
};

enum class ReliabilityPolicy
{
  BestEffort = RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT,
  Reliable = RMW_QOS_POLICY_RELIABILITY_RELIABLE,
  SystemDefault = RMW_QOS_POLICY_RELIABILITY_SYSTEM_DEFAULT,
  Unknown = RMW_QOS_POLICY_RELIABILITY_UNKNOWN,
};

enum class DurabilityPolicy
{
  Volatile = RMW_QOS_POLICY_DURABILITY_VOLATILE,
  TransientLocal = RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL,
  SystemDefault = RMW_QOS_POLICY_DURABILITY_SYSTEM_DEFAULT,
  Unknown = RMW_QOS_POLICY_DURABILITY_UNKNOWN,
};

// How the history part of a profile is first set.
struct QoSInitialization
{
  rmw_qos_history_policy_t history_policy;
  size_t depth;

  QoSInitialization(rmw_qos_history_policy_t history_policy_arg, size_t depth_arg);

  static QoSInitialization from_rmw(const rmw_qos_profile_t & rmw_qos);
};

struct KeepAll : public QoSInitialization
{
  KeepAll();
};

struct KeepLast : public QoSInitialization
{
  explicit KeepLast(size_t depth);
};

class QoS
{
public:
  explicit QoS(
    const QoSInitialization & qos_initialization,
    const rmw_qos_profile_t & initial_profile = rmw_qos_profile_default);

  // A depth alone means KEEP_LAST of that depth with the default policies.
  QoS(size_t history_depth);  // NOLINT: implicit like the library it stands in for

  rmw_qos_profile_t & get_rmw_qos_profile();
  const rmw_qos_profile_t & get_rmw_qos_profile() const;

  QoS & history(HistoryPolicy history);
  QoS & keep_last(size_t depth);
  QoS & keep_all();
  QoS & reliability(ReliabilityPolicy reliability);
  QoS & reliable();
  QoS & best_effort();
  QoS & durability(DurabilityPolicy durability);
  QoS & durability_volatile();
  QoS & transient_local();

  HistoryPolicy history() const;
  size_t depth() const;
  ReliabilityPolicy reliability() const;
  DurabilityPolicy durability() const;

private:
  rmw_qos_profile_t rmw_qos_profile_;
};

// "/parameter_events": KEEP_LAST 1000, reliable, volatile.
class ParameterEventsQoS : public QoS
{
public:
  explicit ParameterEventsQoS(
    const QoSInitialization & qos_initialization = QoSInitialization::from_rmw(
      rmw_qos_profile_parameter_events))
  : QoS(qos_initialization, rmw_qos_profile_parameter_events) {}
};

bool operator==(const QoS & left, const QoS & right);
bool operator!=(const QoS & left, const QoS & right);

}  // namespace rclcpp

#endif  // RCLCPP__QOS_HPP_
