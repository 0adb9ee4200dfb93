// Validation of node names and namespaces (topic names are checked during expansion).
#ifndef RCLCPP__DETAIL__NAME_RULES_HPP_
#define RCLCPP__DETAIL__NAME_RULES_HPP_

#include <string>

namespace rclcpp
{
namespace detail
{

// Throws InvalidNodeNameError when the node name is not usable.
void validate_node_name(const std::string & node_name);

// Turns "" into "/" and "ns" into "/ns", then throws InvalidNamespaceError when invalid.
std::string normalize_and_validate_namespace(const std::string & namespace_);

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__NAME_RULES_HPP_
