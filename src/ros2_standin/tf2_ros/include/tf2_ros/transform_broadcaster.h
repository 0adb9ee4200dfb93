// Publishes transforms on "/tf".
#ifndef TF2_ROS__TRANSFORM_BROADCASTER_H_
#define TF2_ROS__TRANSFORM_BROADCASTER_H_

#include <memory>
#include <type_traits>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/qos.hpp"

namespace tf2_ros
{

class TransformBroadcaster
{
public:
  // The node as a reference, a raw pointer or a shared pointer. By default, parameter overrides
  // may change the depth, durability, history and reliability.
  template<class NodeT, class AllocatorT = std::allocator<void>>
  explicit TransformBroadcaster(
    NodeT && node, const rclcpp::QoS & qos = DynamicBroadcasterQoS(),
    const rclcpp::PublisherOptionsWithAllocator<AllocatorT> & options = [] {
      rclcpp::PublisherOptionsWithAllocator<AllocatorT> options;
      options.qos_overriding_options = rclcpp::QosOverridingOptions{
        rclcpp::QosPolicyKind::Depth,
        rclcpp::QosPolicyKind::Durability,
        rclcpp::QosPolicyKind::History,
        rclcpp::QosPolicyKind::Reliability};
      return options;
    } ())
  : publisher_(node_of(node).template create_publisher<tf2_msgs::msg::TFMessage>(
        "/tf", qos, options)) {}

  // Thread-safe. All transforms go out in one message.
  void sendTransform(const geometry_msgs::msg::TransformStamped & transform);
  void sendTransform(const std::vector<geometry_msgs::msg::TransformStamped> & transforms);

private:
  template<class NodeT>
  static rclcpp::Node & node_of(NodeT & node)
  {
    if constexpr (std::is_base_of_v<rclcpp::Node, std::remove_cv_t<NodeT>>) {
      return node;
    } else {
      return *node;
    }
  }

  rclcpp::Publisher<tf2_msgs::msg::TFMessage>::SharedPtr publisher_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__TRANSFORM_BROADCASTER_H_
