// The seam between the client library and a delivery path. Publishers, subscriptions, services
// and clients only talk to these interfaces; messages cross them type-erased and are never
// copied by the in-process path. A path between processes implements the same interfaces.
#ifndef RCLCPP__TRANSPORT__TRANSPORT_HPP_
#define RCLCPP__TRANSPORT__TRANSPORT_HPP_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/detail/waker.hpp"
#include "rmw/types.h"
#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"

namespace rclcpp
{
namespace transport
{

enum class EndpointKind
{
  Publisher,
  Subscription,
  Server,
  Client,
};

// The layout of what an endpoint carries, for paths that serialise: the message, or a service's
// request and response.
struct TypeIntrospection
{
  const rosidl_typesupport_introspection_cpp::MessageMembers * message = nullptr;
  const rosidl_typesupport_introspection_cpp::MessageMembers * response = nullptr;
};

// One publisher, subscription, service server or service client as the graph sees it.
struct Endpoint
{
  EndpointKind kind;
  std::string node_name;
  std::string node_namespace;
  std::string name;        // fully qualified topic or service name
  std::string type_name;   // "pkg/msg/Type" or "pkg/srv/Type"
  rmw_qos_profile_t qos;
  TypeIntrospection introspection{};
};

// Receives the messages of a subscription. Called on the publishing thread; must not block.
class MessageSink
{
public:
  virtual ~MessageSink() = default;
  virtual void deliver(std::shared_ptr<const void> message) = 0;
};

// Receives the requests of a service server. Called on the requesting thread; must not block.
class RequestSink
{
public:
  virtual ~RequestSink() = default;
  virtual void deliver_request(const rmw_request_id_t & id, std::shared_ptr<void> request) = 0;
};

// Receives the responses of a service client. Called on the responding thread; must not block.
class ResponseSink
{
public:
  virtual ~ResponseSink() = default;
  virtual void deliver_response(int64_t sequence_number, std::shared_ptr<void> response) = 0;
};

// Each link removes its endpoint from the graph when destroyed.
class PublisherLink
{
public:
  virtual ~PublisherLink() = default;
  virtual void publish(std::shared_ptr<const void> message) = 0;
  virtual size_t matched_subscriptions() const = 0;
};

class SubscriptionLink
{
public:
  virtual ~SubscriptionLink() = default;
  virtual size_t matched_publishers() const = 0;
};

class ServiceLink
{
public:
  virtual ~ServiceLink() = default;
  virtual void send_response(const rmw_request_id_t & id, std::shared_ptr<void> response) = 0;
};

class ClientLink
{
public:
  virtual ~ClientLink() = default;
  // Returns the sequence number that the response will carry.
  virtual int64_t send_request(std::shared_ptr<void> request) = 0;
  virtual bool service_is_available() const = 0;
};

class Transport
{
public:
  virtual ~Transport() = default;

  // The sinks must outlive the links made for them.
  virtual std::unique_ptr<PublisherLink> add_publisher(const Endpoint & endpoint) = 0;
  virtual std::unique_ptr<SubscriptionLink> add_subscription(
    const Endpoint & endpoint, MessageSink & sink) = 0;
  virtual std::unique_ptr<ServiceLink> add_service(const Endpoint & endpoint, RequestSink & sink) = 0;
  virtual std::unique_ptr<ClientLink> add_client(const Endpoint & endpoint, ResponseSink & sink) = 0;

  virtual std::vector<Endpoint> endpoints() const = 0;

  // Graph changes wake the registered wakers; a waker must be removed before it is destroyed.
  virtual void add_graph_waker(detail::Waker & waker) = 0;
  virtual void remove_graph_waker(detail::Waker & waker) = 0;
};

// The in-process transport, shared by every context that chooses it.
Transport & default_transport();

}  // namespace transport
}  // namespace rclcpp

#endif  // RCLCPP__TRANSPORT__TRANSPORT_HPP_
