// A node: the owner of publishers, subscriptions, services, clients, timers and parameters.
#ifndef RCLCPP__NODE_HPP_
#define RCLCPP__NODE_HPP_

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/client.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/detail/node_core.hpp"
#include "rclcpp/detail/node_parameters.hpp"
#include "rclcpp/node_options.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp/publisher_options.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/service.hpp"
#include "rclcpp/subscription.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp/timer.hpp"
#include "rclcpp/topic_endpoint_info.hpp"
#include "rclcpp/transport/introspection.hpp"
#include "rclcpp/transport/transport.hpp"
#include "rmw/qos_profiles.h"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

// Every node serves its parameters through the services "~/get_parameters",
// "~/get_parameter_types", "~/set_parameters", "~/set_parameters_atomically",
// "~/list_parameters" and "~/describe_parameters", and announces their declarations and changes
// on "/parameter_events". The ROS arguments of its context rename it, remap the names it uses
// and override its parameters.
class Node : public std::enable_shared_from_this<Node>
{
public:
  using SharedPtr = std::shared_ptr<Node>;
  using ConstSharedPtr = std::shared_ptr<const Node>;

  // Throw InvalidNodeNameError or InvalidNamespaceError for names the naming rules reject.
  explicit Node(const std::string & node_name, const NodeOptions & options = NodeOptions());
  Node(
    const std::string & node_name, const std::string & namespace_,
    const NodeOptions & options = NodeOptions());
  virtual ~Node() = default;
  Node(const Node &) = delete;
  Node & operator=(const Node &) = delete;

  const char * get_name() const {return core_->name().c_str();}
  const char * get_namespace() const {return core_->namespace_().c_str();}
  const char * get_fully_qualified_name() const {return core_->fully_qualified_name().c_str();}

  // Topic and service names are expanded against the node's name and namespace, then remapped;
  // invalid ones throw InvalidTopicNameError or InvalidServiceNameError.
  // The policies the options name are declared as read-only parameters
  // "qos_overrides.<topic>.publisher.<policy>" whose overrides replace them; an override that
  // names no setting throws InvalidQosOverridesException or InvalidParameterTypeException.
  template<typename MessageT, typename AllocatorT = std::allocator<void>>
  std::shared_ptr<Publisher<MessageT>> create_publisher(
    const std::string & topic_name, const rclcpp::QoS & qos,
    const PublisherOptionsWithAllocator<AllocatorT> & options =
    PublisherOptionsWithAllocator<AllocatorT>())
  {
    auto endpoint = this->endpoint<MessageT>(transport::EndpointKind::Publisher, topic_name, false,
        qos.get_rmw_qos_profile());
    apply_qos_overrides(endpoint, options.qos_overriding_options);
    return std::make_shared<Publisher<MessageT>>(transport_, endpoint, core_->context());
  }

  template<typename MessageT, typename CallbackT>
  std::shared_ptr<Subscription<MessageT>> create_subscription(
    const std::string & topic_name, const rclcpp::QoS & qos, CallbackT && callback)
  {
    return listed(std::make_shared<Subscription<MessageT>>(core_, transport_,
             endpoint<MessageT>(transport::EndpointKind::Subscription, topic_name, false,
             qos.get_rmw_qos_profile()), std::forward<CallbackT>(callback)));
  }

  template<typename ServiceT, typename CallbackT>
  typename Service<ServiceT>::SharedPtr create_service(
    const std::string & service_name, CallbackT && callback,
    const rmw_qos_profile_t & qos_profile = rmw_qos_profile_services_default)
  {
    return listed(std::make_shared<Service<ServiceT>>(core_, transport_,
             endpoint<ServiceT>(transport::EndpointKind::Server, service_name, true, qos_profile),
             std::forward<CallbackT>(callback)));
  }

  template<typename ServiceT>
  typename Client<ServiceT>::SharedPtr create_client(
    const std::string & service_name,
    const rmw_qos_profile_t & qos_profile = rmw_qos_profile_services_default)
  {
    return listed(std::make_shared<Client<ServiceT>>(core_, transport_,
             endpoint<ServiceT>(transport::EndpointKind::Client, service_name, true, qos_profile)));
  }

  // Steady-clock timer; the callback runs on the thread that spins this node.
  template<typename DurationRepT = int64_t, typename DurationT = std::milli, typename CallbackT>
  typename WallTimer<CallbackT>::SharedPtr create_wall_timer(
    std::chrono::duration<DurationRepT, DurationT> period, CallbackT callback)
  {
    return listed(std::make_shared<WallTimer<CallbackT>>(
               std::chrono::duration_cast<std::chrono::nanoseconds>(period), std::move(callback)));
  }

  // An override of the context's ROS arguments, unless ignored, becomes the first value.
  // Throw ParameterAlreadyDeclaredException, or InvalidParameterTypeException when the override
  // has another type.
  const ParameterValue & declare_parameter(
    const std::string & name, ParameterType type,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false);
  const ParameterValue & declare_parameter(
    const std::string & name, const ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false);

  // Throws ParameterNotDeclaredException for a parameter never declared, and
  // InvalidParametersException for an empty name.
  std::vector<rcl_interfaces::msg::SetParametersResult> set_parameters(
    const std::vector<Parameter> & parameters);

  // Throws ParameterNotDeclaredException, or ParameterUninitializedException when the
  // parameter has no value yet.
  Parameter get_parameter(const std::string & name) const;
  bool has_parameter(const std::string & name) const;

  Clock::SharedPtr get_clock() {return clock_;}
  Time now() const {return clock_->now();}

  size_t count_publishers(const std::string & topic_name) const;
  size_t count_subscribers(const std::string & topic_name) const;
  std::vector<TopicEndpointInfo> get_publishers_info_by_topic(
    const std::string & topic_name, bool no_mangle = false) const;
  std::vector<TopicEndpointInfo> get_subscriptions_info_by_topic(
    const std::string & topic_name, bool no_mangle = false) const;
  std::map<std::string, std::vector<std::string>> get_topic_names_and_types() const;
  std::map<std::string, std::vector<std::string>> get_service_names_and_types() const;

  // Used by executors and by the libraries built on this one.
  const std::shared_ptr<detail::NodeCore> & get_node_core() const {return core_;}
  transport::Transport & get_transport() const {return transport_;}

private:
  std::string expand(const std::string & name, bool is_service) const;
  void apply_qos_overrides(transport::Endpoint & endpoint, const QosOverridingOptions & options);
  const ParameterValue & declare(
    const std::string & name, ParameterType type, const ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & descriptor, bool ignore_override);

  template<typename InterfaceT>
  transport::Endpoint endpoint(
    transport::EndpointKind kind, const std::string & name, bool is_service,
    const rmw_qos_profile_t & qos) const
  {
    return transport::Endpoint{kind, core_->name(), core_->namespace_(), expand(name, is_service),
      rosidl_generator_traits::name<InterfaceT>(), qos, transport::introspection_of<InterfaceT>()};
  }

  template<typename EntityT>
  std::shared_ptr<EntityT> listed(std::shared_ptr<EntityT> entity)
  {
    core_->add_executable(entity);
    return entity;
  }

  std::vector<TopicEndpointInfo> endpoints_of(
    const std::string & topic_name, transport::EndpointKind kind, bool no_mangle) const;

  const std::shared_ptr<const detail::RosArguments> arguments_;
  const std::shared_ptr<detail::NodeCore> core_;
  transport::Transport & transport_;
  const Clock::SharedPtr clock_ = std::make_shared<Clock>(RCL_ROS_TIME);
  // Shared with the parameter services, which may outlive the node in an executor's hands.
  const std::shared_ptr<detail::NodeParameters> parameters_ =
    std::make_shared<detail::NodeParameters>();
  std::shared_ptr<Publisher<rcl_interfaces::msg::ParameterEvent>> parameter_events_publisher_;
  std::vector<std::shared_ptr<ServiceBase>> parameter_services_;
};

}  // namespace rclcpp

#endif  // RCLCPP__NODE_HPP_
