// Expansion of relative and private names into fully qualified ones, with validation.
#ifndef RCLCPP__EXPAND_TOPIC_OR_SERVICE_NAME_HPP_
#define RCLCPP__EXPAND_TOPIC_OR_SERVICE_NAME_HPP_

#include <string>

namespace rclcpp
{

// Returns the fully qualified name; throws InvalidTopicNameError or InvalidServiceNameError
// (or InvalidNodeNameError / InvalidNamespaceError for a bad node) when a name is rejected.
std::string expand_topic_or_service_name(
  const std::string & name,
  const std::string & node_name,
  const std::string & namespace_,
  bool is_service = false);

}  // namespace rclcpp

#endif  // RCLCPP__EXPAND_TOPIC_OR_SERVICE_NAME_HPP_
