// The parameters declared on one node.
#ifndef RCLCPP__DETAIL__NODE_PARAMETERS_HPP_
#define RCLCPP__DETAIL__NODE_PARAMETERS_HPP_

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp
{
namespace detail
{

class NodeParameters
{
public:
  // Declares a parameter of a fixed type and no value yet.
  const ParameterValue & declare(
    const std::string & name, ParameterType type,
    const rcl_interfaces::msg::ParameterDescriptor & descriptor);

  std::vector<rcl_interfaces::msg::SetParametersResult> set(
    const std::vector<Parameter> & parameters);

  Parameter get(const std::string & name) const;
  bool has(const std::string & name) const;

private:
  struct Entry
  {
    ParameterType type;
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    ParameterValue value;
  };

  rcl_interfaces::msg::SetParametersResult set_one(const Parameter & parameter);

  mutable std::mutex mutex_;
  std::map<std::string, Entry> parameters_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__NODE_PARAMETERS_HPP_
