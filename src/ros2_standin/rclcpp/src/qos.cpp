#include "rclcpp/qos.hpp"

namespace rclcpp
{

QoSInitialization::QoSInitialization(rmw_qos_history_policy_t history_policy_arg, size_t depth_arg)
: history_policy(history_policy_arg), depth(depth_arg)
{
}

QoSInitialization QoSInitialization::from_rmw(const rmw_qos_profile_t & rmw_qos)
{
  switch (rmw_qos.history) {
    case RMW_QOS_POLICY_HISTORY_KEEP_ALL:
      return KeepAll();
    case RMW_QOS_POLICY_HISTORY_KEEP_LAST:
    case RMW_QOS_POLICY_HISTORY_SYSTEM_DEFAULT:
    case RMW_QOS_POLICY_HISTORY_UNKNOWN:
    default:
      return KeepLast(rmw_qos.depth);
  }
}

KeepAll::KeepAll()
: QoSInitialization(RMW_QOS_POLICY_HISTORY_KEEP_ALL, 0)
{
}

KeepLast::KeepLast(size_t depth)
: QoSInitialization(RMW_QOS_POLICY_HISTORY_KEEP_LAST, depth)
{
}

QoS::QoS(const QoSInitialization & qos_initialization, const rmw_qos_profile_t & initial_profile)
: rmw_qos_profile_(initial_profile)
{
  rmw_qos_profile_.history = qos_initialization.history_policy;
  rmw_qos_profile_.depth = qos_initialization.depth;
}

QoS::QoS(size_t history_depth)
: QoS(KeepLast(history_depth))
{
}

rmw_qos_profile_t & QoS::get_rmw_qos_profile() {return rmw_qos_profile_;}
const rmw_qos_profile_t & QoS::get_rmw_qos_profile() const {return rmw_qos_profile_;}

QoS & QoS::history(HistoryPolicy history)
{
  rmw_qos_profile_.history = static_cast<rmw_qos_history_policy_t>(history);
  return *this;
}

QoS & QoS::keep_last(size_t depth)
{
  rmw_qos_profile_.history = RMW_QOS_POLICY_HISTORY_KEEP_LAST;
  rmw_qos_profile_.depth = depth;
  return *this;
}

QoS & QoS::keep_all()
{
  rmw_qos_profile_.history = RMW_QOS_POLICY_HISTORY_KEEP_ALL;
  rmw_qos_profile_.depth = 0;
  return *this;
}

QoS & QoS::reliability(ReliabilityPolicy reliability)
{
  rmw_qos_profile_.reliability = static_cast<rmw_qos_reliability_policy_t>(reliability);
  return *this;
}

QoS & QoS::reliable() {return reliability(ReliabilityPolicy::Reliable);}
QoS & QoS::best_effort() {return reliability(ReliabilityPolicy::BestEffort);}

QoS & QoS::durability(DurabilityPolicy durability)
{
  rmw_qos_profile_.durability = static_cast<rmw_qos_durability_policy_t>(durability);
  return *this;
}

QoS & QoS::durability_volatile() {return durability(DurabilityPolicy::Volatile);}
QoS & QoS::transient_local() {return durability(DurabilityPolicy::TransientLocal);}

HistoryPolicy QoS::history() const {return static_cast<HistoryPolicy>(rmw_qos_profile_.history);}
size_t QoS::depth() const {return rmw_qos_profile_.depth;}

ReliabilityPolicy QoS::reliability() const
{
  return static_cast<ReliabilityPolicy>(rmw_qos_profile_.reliability);
}

DurabilityPolicy QoS::durability() const
{
  return static_cast<DurabilityPolicy>(rmw_qos_profile_.durability);
}

static bool operator==(const rmw_time_t & left, const rmw_time_t & right)
{
  return left.sec == right.sec && left.nsec == right.nsec;
}

bool operator==(const QoS & left, const QoS & right)
{
  const auto & l = left.get_rmw_qos_profile();
  const auto & r = right.get_rmw_qos_profile();
  return l.history == r.history && l.depth == r.depth && l.reliability == r.reliability &&
         l.durability == r.durability && l.deadline == r.deadline && l.lifespan == r.lifespan &&
         l.liveliness == r.liveliness &&
         l.liveliness_lease_duration == r.liveliness_lease_duration &&
         l.avoid_ros_namespace_conventions == r.avoid_ros_namespace_conventions;
}

bool operator!=(const QoS & left, const QoS & right) {return !(left == right);}

}  // namespace rclcpp
