#include "rclcpp/detail/node_parameters.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace detail
{

namespace
{

std::string wrong_type_reason(const std::string & name, ParameterType declared, ParameterType given)
{
  return "Wrong parameter type, parameter {" + name + "} is of type {" + to_string(declared) +
         "}, setting it to {" + to_string(given) + "} is not allowed.";
}

}  // namespace

void NodeParameters::set_event_sink(EventSink sink)
{
  std::lock_guard<std::mutex> lock(mutex_);
  event_sink_ = std::move(sink);
}

void NodeParameters::publish(rcl_interfaces::msg::ParameterEvent && event) const
{
  if (event_sink_) {
    event_sink_(std::move(event));
  }
}

const ParameterValue & NodeParameters::declare(
  const std::string & name, ParameterType type, const ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & descriptor,
  const std::optional<ParameterValue> & override_value)
{
  if (name.empty()) {
    throw exceptions::InvalidParametersException("parameter name must not be empty");
  }
  const ParameterValue & first = override_value ? *override_value : default_value;
  if (first.get_type() != PARAMETER_NOT_SET && first.get_type() != type) {
    throw exceptions::InvalidParameterTypeException(name,
            wrong_type_reason(name, type, first.get_type()));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  auto [entry, inserted] = parameters_.emplace(name, Entry{descriptor, first});
  if (!inserted) {
    throw exceptions::ParameterAlreadyDeclaredException(
            "parameter '" + name + "' has already been declared");
  }
  entry->second.descriptor.name = name;
  entry->second.descriptor.type = type;
  rcl_interfaces::msg::ParameterEvent event;
  if (first.get_type() != PARAMETER_NOT_SET) {
    event.new_parameters.push_back(Parameter(name, first).to_parameter_msg());
  }
  publish(std::move(event));
  return entry->second.value;
}

std::vector<rcl_interfaces::msg::SetParametersResult> NodeParameters::set(
  const std::vector<Parameter> & parameters)
{
  std::vector<rcl_interfaces::msg::SetParametersResult> results;
  results.reserve(parameters.size());
  for (const auto & parameter : parameters) {
    results.push_back(set_atomically({parameter}));
  }
  return results;
}

rcl_interfaces::msg::SetParametersResult NodeParameters::set_atomically(
  const std::vector<Parameter> & parameters)
{
  std::lock_guard<std::mutex> lock(mutex_);
  rcl_interfaces::msg::ParameterEvent event;
  auto result = set_all(parameters, event);
  if (result.successful) {
    publish(std::move(event));
  }
  return result;
}

// The first fault in this order: each name in turn (empty, not declared, read-only), then a value
// that would unset a parameter, then a type.
std::optional<std::string> NodeParameters::refusal(const std::vector<Parameter> & parameters) const
{
  for (const auto & parameter : parameters) {
    const std::string & name = parameter.get_name();
    if (name.empty()) {
      throw exceptions::InvalidParametersException("parameter name must not be empty");
    }
    auto found = parameters_.find(name);
    if (found == parameters_.end()) {
      throw exceptions::ParameterNotDeclaredException(
              "parameter '" + name + "' cannot be set because it was not declared");
    }
    if (found->second.descriptor.read_only) {
      return "parameter '" + name + "' cannot be set because it is read-only";
    }
  }
  for (const auto & parameter : parameters) {
    const Entry & entry = parameters_.at(parameter.get_name());
    if (parameter.get_type() == PARAMETER_NOT_SET && entry.value.get_type() != PARAMETER_NOT_SET &&
      !entry.descriptor.dynamic_typing)
    {
      return std::string("cannot undeclare a statically typed parameter");
    }
  }
  for (const auto & parameter : parameters) {
    const auto & descriptor = parameters_.at(parameter.get_name()).descriptor;
    if (!descriptor.dynamic_typing && parameter.get_type() != descriptor.type) {
      return wrong_type_reason(parameter.get_name(), static_cast<ParameterType>(descriptor.type),
               parameter.get_type());
    }
  }
  return std::nullopt;
}

rcl_interfaces::msg::SetParametersResult NodeParameters::set_all(
  const std::vector<Parameter> & parameters, rcl_interfaces::msg::ParameterEvent & event)
{
  rcl_interfaces::msg::SetParametersResult result;
  if (auto reason = refusal(parameters)) {
    result.successful = false;
    result.reason = *reason;
    return result;
  }
  for (const auto & parameter : parameters) {
    // Only a parameter of dynamic type can be unset, and that undeclares it.
    auto found = parameters_.find(parameter.get_name());
    if (found == parameters_.end()) {
      continue;  // undeclared earlier in this call
    }
    if (parameter.get_type() == PARAMETER_NOT_SET) {
      parameters_.erase(found);
      event.deleted_parameters.push_back(parameter.to_parameter_msg());
    } else {
      found->second.value = parameter.get_parameter_value();
      event.changed_parameters.push_back(parameter.to_parameter_msg());
    }
  }
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

std::vector<uint8_t> NodeParameters::get_types(const std::vector<std::string> & names) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint8_t> types;
  for (const auto & name : names) {
    auto found = parameters_.find(name);
    if (found == parameters_.end()) {
      throw exceptions::ParameterNotDeclaredException(name);
    }
    types.push_back(found->second.value.get_type());
  }
  return types;
}

std::vector<rcl_interfaces::msg::ParameterDescriptor> NodeParameters::describe(
  const std::vector<std::string> & names) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<rcl_interfaces::msg::ParameterDescriptor> descriptors;
  for (const auto & name : names) {
    auto found = parameters_.find(name);
    if (found == parameters_.end()) {
      throw exceptions::ParameterNotDeclaredException(name);
    }
    descriptors.push_back(found->second.descriptor);
  }
  return descriptors;
}

bool NodeParameters::has(const std::string & name) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return parameters_.count(name) != 0;
}

rcl_interfaces::msg::ListParametersResult NodeParameters::list(
  const std::vector<std::string> & prefixes, uint64_t depth) const
{
  static constexpr char separator = '.';
  const auto within_depth = [depth](const std::string & rest) {
      return depth == 0 ||
             static_cast<uint64_t>(std::count(rest.begin(), rest.end(), separator)) < depth;
    };
  std::lock_guard<std::mutex> lock(mutex_);
  rcl_interfaces::msg::ListParametersResult result;
  for (const auto & parameter : parameters_) {
    const std::string & name = parameter.first;
    const bool listed = prefixes.empty() ? within_depth(name) :
      std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string & prefix) {
        return name == prefix ||
        (name.rfind(prefix + separator, 0) == 0 && within_depth(name.substr(prefix.size())));
      });
    if (!listed) {
      continue;
    }
    result.names.push_back(name);
    const size_t last = name.find_last_of(separator);
    if (last != std::string::npos) {
      const std::string prefix = name.substr(0, last);
      if (std::find(result.prefixes.begin(), result.prefixes.end(), prefix) ==
        result.prefixes.end())
      {
        result.prefixes.push_back(prefix);
      }
    }
  }
  return result;
}

}  // namespace detail
}  // namespace rclcpp
