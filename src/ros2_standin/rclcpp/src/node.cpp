#include "rclcpp/node.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

#include "parameter_services.hpp"
#include "qos_overrides.hpp"
#include "rclcpp/detail/name_rules.hpp"
#include "rclcpp/expand_topic_or_service_name.hpp"
#include "ros_arguments.hpp"

namespace rclcpp
{

namespace
{

std::shared_ptr<detail::NodeCore> make_core(
  const detail::RosArguments & arguments, const std::string & node_name,
  const std::string & namespace_, const NodeOptions & options)
{
  const std::string name = arguments.node_name(node_name);
  detail::validate_node_name(name);
  return std::make_shared<detail::NodeCore>(name,
           detail::normalize_and_validate_namespace(arguments.node_namespace(node_name, namespace_)),
           options.context());
}

}  // namespace

Node::Node(const std::string & node_name, const NodeOptions & options)
: Node(node_name, "", options)
{
}

Node::Node(const std::string & node_name, const std::string & namespace_,
  const NodeOptions & options)
: arguments_(options.context()->ros_arguments()),
  core_(make_core(*arguments_, node_name, namespace_, options)),
  transport_(core_->context()->transport())
{
  parameter_events_publisher_ = create_publisher<rcl_interfaces::msg::ParameterEvent>(
    "/parameter_events", ParameterEventsQoS());
  parameters_->set_event_sink(
    [publisher = parameter_events_publisher_, clock = clock_,
    node = core_->fully_qualified_name()](rcl_interfaces::msg::ParameterEvent && event) {
      event.node = node;
      event.stamp = clock->now();
      publisher->publish(std::move(event));
    });
  parameter_services_ = detail::make_parameter_services(*this, parameters_);
}

std::string Node::expand(const std::string & name, bool is_service) const
{
  std::string expanded =
    expand_topic_or_service_name(name, core_->name(), core_->namespace_(), is_service);
  // An action's entities follow a remap of the action's name, as well as remaps of their own.
  const size_t action = expanded.find("/_action/");
  if (action != std::string::npos) {
    expanded = arguments_->remap(expanded.substr(0, action), core_->name(), core_->namespace_(),
        false) + expanded.substr(action);
  }
  return arguments_->remap(expanded, core_->name(), core_->namespace_(), is_service);
}

void Node::apply_qos_overrides(
  transport::Endpoint & endpoint, const QosOverridingOptions & options)
{
  for (const QosPolicyKind kind : options.get_policy_kinds()) {
    const std::string name = "qos_overrides." + endpoint.name + ".publisher." +
      qos_policy_kind_to_cstr(kind);
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    descriptor.read_only = true;
    const ParameterValue value = has_parameter(name) ?
      parameters_->get(name).get_parameter_value() :
      declare_parameter(name, detail::qos_policy_value(endpoint.qos, kind), descriptor);
    detail::apply_qos_override(endpoint.qos, kind, value, name);
  }
}

const ParameterValue & Node::declare(
  const std::string & name, ParameterType type, const ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & descriptor, bool ignore_override)
{
  if (descriptor.dynamic_typing) {
    throw std::invalid_argument("declare_parameter(): cannot declare parameter of specific type "
            "and pass descriptor with `dynamic_typing=true`");
  }
  return parameters_->declare(name, type, default_value, descriptor,
           ignore_override ? std::nullopt :
           arguments_->parameter_override(core_->fully_qualified_name(), name));
}

const ParameterValue & Node::declare_parameter(
  const std::string & name, ParameterType type,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor, bool ignore_override)
{
  if (type == PARAMETER_NOT_SET) {
    throw std::invalid_argument(
            "declare_parameter(): the provided parameter type cannot be rclcpp::PARAMETER_NOT_SET");
  }
  return declare(name, type, ParameterValue(), parameter_descriptor, ignore_override);
}

const ParameterValue & Node::declare_parameter(
  const std::string & name, const ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor, bool ignore_override)
{
  return declare(name, default_value.get_type(), default_value, parameter_descriptor,
           ignore_override);
}

std::vector<rcl_interfaces::msg::SetParametersResult> Node::set_parameters(
  const std::vector<Parameter> & parameters)
{
  return parameters_->set(parameters);
}

Parameter Node::get_parameter(const std::string & name) const
{
  return parameters_->get(name);
}

bool Node::has_parameter(const std::string & name) const
{
  return parameters_->has(name);
}

std::vector<TopicEndpointInfo> Node::endpoints_of(
  const std::string & topic_name, transport::EndpointKind kind, bool no_mangle) const
{
  // Graph queries expand the name but do not remap it.
  const std::string name = no_mangle ? topic_name :
    expand_topic_or_service_name(topic_name, core_->name(), core_->namespace_(), false);
  std::vector<TopicEndpointInfo> infos;
  for (const auto & endpoint : transport_.endpoints()) {
    if (endpoint.kind == kind && endpoint.name == name) {
      infos.emplace_back(endpoint.node_name, endpoint.node_namespace, endpoint.type_name,
        kind == transport::EndpointKind::Publisher ? EndpointType::Publisher :
        EndpointType::Subscription,
        QoS(QoSInitialization::from_rmw(endpoint.qos), endpoint.qos));
    }
  }
  return infos;
}

size_t Node::count_publishers(const std::string & topic_name) const
{
  return endpoints_of(topic_name, transport::EndpointKind::Publisher, false).size();
}

size_t Node::count_subscribers(const std::string & topic_name) const
{
  return endpoints_of(topic_name, transport::EndpointKind::Subscription, false).size();
}

std::vector<TopicEndpointInfo> Node::get_publishers_info_by_topic(
  const std::string & topic_name, bool no_mangle) const
{
  return endpoints_of(topic_name, transport::EndpointKind::Publisher, no_mangle);
}

std::vector<TopicEndpointInfo> Node::get_subscriptions_info_by_topic(
  const std::string & topic_name, bool no_mangle) const
{
  return endpoints_of(topic_name, transport::EndpointKind::Subscription, no_mangle);
}

namespace
{

std::map<std::string, std::vector<std::string>> names_and_types(
  const std::vector<transport::Endpoint> & endpoints, bool services)
{
  std::map<std::string, std::vector<std::string>> result;
  for (const auto & endpoint : endpoints) {
    const bool is_service = endpoint.kind == transport::EndpointKind::Server ||
      endpoint.kind == transport::EndpointKind::Client;
    if (is_service != services) {
      continue;
    }
    auto & types = result[endpoint.name];
    if (std::find(types.begin(), types.end(), endpoint.type_name) == types.end()) {
      types.push_back(endpoint.type_name);
    }
  }
  return result;
}

}  // namespace

std::map<std::string, std::vector<std::string>> Node::get_topic_names_and_types() const
{
  return names_and_types(transport_.endpoints(), false);
}

std::map<std::string, std::vector<std::string>> Node::get_service_names_and_types() const
{
  return names_and_types(transport_.endpoints(), true);
}

}  // namespace rclcpp
