// Quality of service of the transform topics.
#ifndef TF2_ROS__QOS_HPP_
#define TF2_ROS__QOS_HPP_

#include "rclcpp/qos.hpp"

namespace tf2_ros
{

// "/tf": KEEP_LAST 100, reliable, volatile.
class DynamicBroadcasterQoS : public rclcpp::QoS
{
public:
  explicit DynamicBroadcasterQoS(size_t depth = 100)
  : rclcpp::QoS(depth) {}
};

}  // namespace tf2_ros

#endif  // TF2_ROS__QOS_HPP_
