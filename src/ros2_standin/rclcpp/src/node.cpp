#include "rclcpp/node.hpp"

#include <algorithm>

#include "rclcpp/detail/name_rules.hpp"
#include "rclcpp/expand_topic_or_service_name.hpp"

namespace rclcpp
{

namespace
{

std::shared_ptr<detail::NodeCore> make_core(
  const std::string & node_name, const std::string & namespace_, const NodeOptions & options)
{
  detail::validate_node_name(node_name);
  return std::make_shared<detail::NodeCore>(node_name,
           detail::normalize_and_validate_namespace(namespace_), options.context());
}

}  // namespace

Node::Node(const std::string & node_name, const NodeOptions & options)
: Node(node_name, "", options)
{
}

Node::Node(const std::string & node_name, const std::string & namespace_,
  const NodeOptions & options)
: core_(make_core(node_name, namespace_, options)),
  transport_(core_->context()->transport())
{
}

std::string Node::expand(const std::string & name, bool is_service) const
{
  return expand_topic_or_service_name(name, core_->name(), core_->namespace_(), is_service);
}

const ParameterValue & Node::declare_parameter(
  const std::string & name, ParameterType type,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor, bool)
{
  return parameters_.declare(name, type, parameter_descriptor);
}

std::vector<rcl_interfaces::msg::SetParametersResult> Node::set_parameters(
  const std::vector<Parameter> & parameters)
{
  return parameters_.set(parameters);
}

Parameter Node::get_parameter(const std::string & name) const
{
  return parameters_.get(name);
}

bool Node::has_parameter(const std::string & name) const
{
  return parameters_.has(name);
}

std::vector<TopicEndpointInfo> Node::endpoints_of(
  const std::string & topic_name, transport::EndpointKind kind, bool no_mangle) const
{
  const std::string name = no_mangle ? topic_name : expand(topic_name, false);
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
