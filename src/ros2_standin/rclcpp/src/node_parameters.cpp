#include "rclcpp/detail/node_parameters.hpp"

#include <stdexcept>

#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace detail
{

const ParameterValue & NodeParameters::declare(
  const std::string & name, ParameterType type,
  const rcl_interfaces::msg::ParameterDescriptor & descriptor)
{
  if (type == PARAMETER_NOT_SET) {
    throw std::invalid_argument(
            "declare_parameter(): the provided parameter type cannot be rclcpp::PARAMETER_NOT_SET");
  }
  if (name.empty()) {
    throw exceptions::InvalidParametersException("parameter name must not be empty");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  auto [entry, inserted] = parameters_.emplace(name, Entry{type, descriptor, ParameterValue()});
  if (!inserted) {
    throw exceptions::ParameterAlreadyDeclaredException(
            "parameter '" + name + "' has already been declared");
  }
  entry->second.descriptor.name = name;
  entry->second.descriptor.type = type;
  return entry->second.value;
}

std::vector<rcl_interfaces::msg::SetParametersResult> NodeParameters::set(
  const std::vector<Parameter> & parameters)
{
  std::vector<rcl_interfaces::msg::SetParametersResult> results;
  results.reserve(parameters.size());
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto & parameter : parameters) {
    results.push_back(set_one(parameter));
  }
  return results;
}

rcl_interfaces::msg::SetParametersResult NodeParameters::set_one(const Parameter & parameter)
{
  const std::string & name = parameter.get_name();
  auto found = parameters_.find(name);
  if (found == parameters_.end()) {
    throw exceptions::ParameterNotDeclaredException(name);
  }
  Entry & entry = found->second;
  rcl_interfaces::msg::SetParametersResult result;
  result.successful = false;
  if (entry.descriptor.read_only) {
    result.reason = "parameter '" + name + "' cannot be set because it is read-only";
    return result;
  }
  if (!entry.descriptor.dynamic_typing && parameter.get_type() != entry.type) {
    result.reason = "Wrong parameter type, parameter {" + name + "} is of type {" +
      to_string(entry.type) + "}, setting it to {" + parameter.get_type_name() +
      "} is not allowed.";
    return result;
  }
  entry.value = parameter.get_parameter_value();
  result.successful = true;
  return result;
}

Parameter NodeParameters::get(const std::string & name) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = parameters_.find(name);
  if (found == parameters_.end()) {
    throw exceptions::ParameterNotDeclaredException(name);
  }
  const Entry & entry = found->second;
  if (entry.value.get_type() == PARAMETER_NOT_SET && !entry.descriptor.dynamic_typing) {
    throw exceptions::ParameterUninitializedException(name);
  }
  return Parameter(name, entry.value);
}

bool NodeParameters::has(const std::string & name) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return parameters_.count(name) != 0;
}

}  // namespace detail
}  // namespace rclcpp
