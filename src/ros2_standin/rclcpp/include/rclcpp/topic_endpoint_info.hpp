// What the graph reports about one publisher or subscription of a topic.
#ifndef RCLCPP__TOPIC_ENDPOINT_INFO_HPP_
#define RCLCPP__TOPIC_ENDPOINT_INFO_HPP_

#include <string>

#include "rclcpp/qos.hpp"

namespace rclcpp
{

enum class EndpointType
{
  Invalid = 0,
  Publisher,
  Subscription,
};

class TopicEndpointInfo
{
public:
  TopicEndpointInfo(
    std::string node_name, std::string node_namespace, std::string topic_type,
    EndpointType endpoint_type, const rclcpp::QoS & qos)
  : node_name_(std::move(node_name)), node_namespace_(std::move(node_namespace)),
    topic_type_(std::move(topic_type)), endpoint_type_(endpoint_type), qos_profile_(qos) {}

  const std::string & node_name() const {return node_name_;}
  const std::string & node_namespace() const {return node_namespace_;}
  const std::string & topic_type() const {return topic_type_;}
  EndpointType endpoint_type() const {return endpoint_type_;}
  const rclcpp::QoS & qos_profile() const {return qos_profile_;}

private:
  std::string node_name_;
  std::string node_namespace_;
  std::string topic_type_;
  EndpointType endpoint_type_;
  rclcpp::QoS qos_profile_;
};

}  // namespace rclcpp

#endif  // RCLCPP__TOPIC_ENDPOINT_INFO_HPP_
