// The parameters declared on one node, and the events their changes make.
#ifndef RCLCPP__DETAIL__NODE_PARAMETERS_HPP_
#define RCLCPP__DETAIL__NODE_PARAMETERS_HPP_

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/list_parameters_result.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
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
  // Receives each event with its lists filled; the node stamps, names and publishes it.
  using EventSink = std::function<void(rcl_interfaces::msg::ParameterEvent &&)>;

  void set_event_sink(EventSink sink);

  // Declares a parameter whose type is the type of its first value: the override when there is
  // one, else the default. With no value at all the type is `type` and the value not set.
  // Throws ParameterAlreadyDeclaredException, or InvalidParameterTypeException when the first
  // value has another type.
  const ParameterValue & declare(
    const std::string & name, ParameterType type, const ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & descriptor,
    const std::optional<ParameterValue> & override_value);

  // Each parameter set on its own. Throws InvalidParametersException for an empty name and
  // ParameterNotDeclaredException for an undeclared one; those before it stay set.
  std::vector<rcl_interfaces::msg::SetParametersResult> set(
    const std::vector<Parameter> & parameters);

  // All or none, in one event. Throws InvalidParametersException for an empty name and
  // ParameterNotDeclaredException for an undeclared one, changing nothing.
  rcl_interfaces::msg::SetParametersResult set_atomically(
    const std::vector<Parameter> & parameters);

  // Throw ParameterNotDeclaredException, and get() ParameterUninitializedException for a
  // parameter without a value.
  Parameter get(const std::string & name) const;
  std::vector<uint8_t> get_types(const std::vector<std::string> & names) const;
  std::vector<rcl_interfaces::msg::ParameterDescriptor> describe(
    const std::vector<std::string> & names) const;

  bool has(const std::string & name) const;

  // The names under the prefixes ("." separates levels) down to `depth` levels (0: all).
  rcl_interfaces::msg::ListParametersResult list(
    const std::vector<std::string> & prefixes, uint64_t depth) const;

private:
  struct Entry
  {
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    ParameterValue value;
  };

  // Checks every parameter before any is changed; fills the event on success.
  rcl_interfaces::msg::SetParametersResult set_all(
    const std::vector<Parameter> & parameters, rcl_interfaces::msg::ParameterEvent & event);
  std::optional<std::string> refusal(const std::vector<Parameter> & parameters) const;
  void publish(rcl_interfaces::msg::ParameterEvent && event) const;

  mutable std::mutex mutex_;
  std::map<std::string, Entry> parameters_;
  EventSink event_sink_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__NODE_PARAMETERS_HPP_
