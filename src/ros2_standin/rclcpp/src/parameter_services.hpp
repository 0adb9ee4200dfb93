// The six services through which other processes read and set a node's parameters.
#ifndef PARAMETER_SERVICES_HPP_
#define PARAMETER_SERVICES_HPP_

#include <memory>
#include <vector>

#include "rclcpp/node.hpp"

namespace rclcpp
{
namespace detail
{

// The services answer every request as the parameter API does, a parameter not declared included:
// reads return empty lists, sets return an unsuccessful result that says why. A value of a type
// number no parameter has, or an empty name, is refused too, and a read whose values would outgrow
// memory returns an empty list.
std::vector<std::shared_ptr<ServiceBase>> make_parameter_services(
  Node & node, std::shared_ptr<NodeParameters> parameters);

}  // namespace detail
}  // namespace rclcpp

#endif  // PARAMETER_SERVICES_HPP_
