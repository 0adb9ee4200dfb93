// Delivery between the nodes of this process: a message is handed over as a shared pointer, so
// publisher and subscriptions share one immutable object and nothing is copied.
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/transport/transport.hpp"

namespace rclcpp
{
namespace transport
{
namespace
{

bool is_best_effort(const rmw_qos_profile_t & qos)
{
  return qos.reliability == RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT;
}

bool is_transient_local(const rmw_qos_profile_t & qos)
{
  return qos.durability == RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL;
}

// A reliable subscription needs a reliable publisher; a transient-local one needs a
// transient-local publisher. The weaker request is always served.
bool qos_compatible(const rmw_qos_profile_t & publisher, const rmw_qos_profile_t & subscription)
{
  if (is_best_effort(publisher) && !is_best_effort(subscription)) {
    return false;
  }
  return is_transient_local(publisher) || !is_transient_local(subscription);
}

class InProcessTransport : public Transport
{
public:
  std::unique_ptr<PublisherLink> add_publisher(const Endpoint & endpoint) override;
  std::unique_ptr<SubscriptionLink> add_subscription(
    const Endpoint & endpoint, MessageSink & sink) override;
  std::unique_ptr<ServiceLink> add_service(const Endpoint & endpoint, RequestSink & sink) override;
  std::unique_ptr<ClientLink> add_client(const Endpoint & endpoint, ResponseSink & sink) override;
  std::vector<Endpoint> endpoints() const override;
  void add_graph_waker(detail::Waker & waker) override;
  void remove_graph_waker(detail::Waker & waker) override;

private:
  struct PublisherEntry
  {
    Endpoint endpoint;
    std::deque<std::shared_ptr<const void>> history;  // transient local only
  };
  struct SubscriptionEntry
  {
    Endpoint endpoint;
    MessageSink * sink;
  };
  struct Topic
  {
    std::map<uint64_t, PublisherEntry> publishers;
    std::map<uint64_t, SubscriptionEntry> subscriptions;
  };
  struct ServerEntry
  {
    Endpoint endpoint;
    RequestSink * sink;
  };
  struct ClientEntry
  {
    Endpoint endpoint;
    ResponseSink * sink;
    int64_t last_sequence = 0;
  };
  struct Service
  {
    std::map<uint64_t, ServerEntry> servers;
    std::map<uint64_t, ClientEntry> clients;
  };

  class Publisher;
  class Subscription;
  class Server;
  class Client;

  static bool matches(const Endpoint & publisher, const Endpoint & subscription)
  {
    return publisher.type_name == subscription.type_name &&
           qos_compatible(publisher.qos, subscription.qos);
  }

  void graph_changed();  // mutex_ held

  mutable std::mutex mutex_;
  uint64_t last_id_ = 0;
  std::map<std::string, Topic> topics_;
  std::map<std::string, Service> services_;
  std::set<detail::Waker *> graph_wakers_;
};

class InProcessTransport::Publisher : public PublisherLink
{
public:
  Publisher(InProcessTransport & transport, std::string topic, uint64_t id)
  : transport_(transport), topic_(std::move(topic)), id_(id) {}

  ~Publisher() override
  {
    std::lock_guard<std::mutex> lock(transport_.mutex_);
    transport_.topics_[topic_].publishers.erase(id_);
    transport_.graph_changed();
  }

  void publish(std::shared_ptr<const void> message) override
  {
    std::lock_guard<std::mutex> lock(transport_.mutex_);
    Topic & topic = transport_.topics_[topic_];
    PublisherEntry & self = topic.publishers.at(id_);
    const rmw_qos_profile_t & qos = self.endpoint.qos;
    if (is_transient_local(qos)) {
      self.history.push_back(message);
      if (qos.history != RMW_QOS_POLICY_HISTORY_KEEP_ALL && self.history.size() > qos.depth) {
        self.history.pop_front();
      }
    }
    for (auto & [id, subscription] : topic.subscriptions) {
      if (matches(self.endpoint, subscription.endpoint)) {
        subscription.sink->deliver(message);
      }
    }
  }

  size_t matched_subscriptions() const override
  {
    std::lock_guard<std::mutex> lock(transport_.mutex_);
    Topic & topic = transport_.topics_[topic_];
    const Endpoint & self = topic.publishers.at(id_).endpoint;
    size_t count = 0;
    for (const auto & [id, subscription] : topic.subscriptions) {
      count += matches(self, subscription.endpoint) ? 1 : 0;
    }
    return count;
  }

private:
  InProcessTransport & transport_;
  const std::string topic_;
  const uint64_t id_;
};

class InProcessTransport::Subscription : public SubscriptionLink
{
public:
  Subscription(InProcessTransport & transport, std::string topic, uint64_t id)
  : transport_(transport), topic_(std::move(topic)), id_(id) {}

  ~Subscription() override
  {
    std::lock_guard<std::mutex> lock(transport_.mutex_);
    transport_.topics_[topic_].subscriptions.erase(id_);
    transport_.graph_changed();
  }

  size_t matched_publishers() const override
  {
    std::lock_guard<std::mutex> lock(transport_.mutex_);
    Topic & topic = transport_.topics_[topic_];
    const Endpoint & self = topic.subscriptions.at(id_).endpoint;
    size_t count = 0;
    for (const auto & [id, publisher] : topic.publishers) {
      count += matches(publisher.endpoint, self) ? 1 : 0;
    }
    return count;
  }

private:
  InProcessTransport & transport_;
  const std::string topic_;
  const uint64_t id_;
};

class InProcessTransport::Server : public ServiceLink
{
public:
  Server(InProcessTransport & transport, std::string service, uint64_t id)
  : transport_(transport), service_(std::move(service)), id_(id) {}

  ~Server() override
  {
    std::lock_guard<std::mutex> lock(transport_.mutex_);
    transport_.services_[service_].servers.erase(id_);
    transport_.graph_changed();
  }

  void send_response(const rmw_request_id_t & id, std::shared_ptr<void> response) override
  {
    uint64_t client_id = 0;
    std::memcpy(&client_id, id.writer_guid, sizeof(client_id));
    std::lock_guard<std::mutex> lock(transport_.mutex_);
    auto & clients = transport_.services_[service_].clients;
    auto client = clients.find(client_id);
    if (client != clients.end()) {
      client->second.sink->deliver_response(id.sequence_number, std::move(response));
    }
  }

private:
  InProcessTransport & transport_;
  const std::string service_;
  const uint64_t id_;
};

class InProcessTransport::Client : public ClientLink
{
public:
  Client(InProcessTransport & transport, std::string service, uint64_t id)
  : transport_(transport), service_(std::move(service)), id_(id) {}

  ~Client() override
  {
    std::lock_guard<std::mutex> lock(transport_.mutex_);
    transport_.services_[service_].clients.erase(id_);
    transport_.graph_changed();
  }

  int64_t send_request(std::shared_ptr<void> request) override
  {
    std::lock_guard<std::mutex> lock(transport_.mutex_);
    Service & service = transport_.services_[service_];
    ClientEntry & self = service.clients.at(id_);
    rmw_request_id_t request_id{};
    std::memcpy(request_id.writer_guid, &id_, sizeof(id_));
    request_id.sequence_number = ++self.last_sequence;
    if (ServerEntry * server = first_server(service)) {
      server->sink->deliver_request(request_id, std::move(request));
    }
    return request_id.sequence_number;
  }

  bool service_is_available() const override
  {
    std::lock_guard<std::mutex> lock(transport_.mutex_);
    return first_server(transport_.services_[service_]) != nullptr;
  }

private:
  ServerEntry * first_server(Service & service) const
  {
    const std::string & type_name = service.clients.at(id_).endpoint.type_name;
    for (auto & [id, server] : service.servers) {
      if (server.endpoint.type_name == type_name) {
        return &server;
      }
    }
    return nullptr;
  }

  InProcessTransport & transport_;
  const std::string service_;
  const uint64_t id_;
};

std::unique_ptr<PublisherLink> InProcessTransport::add_publisher(const Endpoint & endpoint)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = ++last_id_;
  topics_[endpoint.name].publishers.emplace(id, PublisherEntry{endpoint, {}});
  graph_changed();
  return std::make_unique<Publisher>(*this, endpoint.name, id);
}

std::unique_ptr<SubscriptionLink> InProcessTransport::add_subscription(
  const Endpoint & endpoint, MessageSink & sink)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = ++last_id_;
  Topic & topic = topics_[endpoint.name];
  topic.subscriptions.emplace(id, SubscriptionEntry{endpoint, &sink});
  // A transient-local late joiner gets what transient-local publishers kept, oldest first.
  for (const auto & [publisher_id, publisher] : topic.publishers) {
    if (is_transient_local(endpoint.qos) && matches(publisher.endpoint, endpoint)) {
      for (const auto & message : publisher.history) {
        sink.deliver(message);
      }
    }
  }
  graph_changed();
  return std::make_unique<Subscription>(*this, endpoint.name, id);
}

std::unique_ptr<ServiceLink> InProcessTransport::add_service(
  const Endpoint & endpoint, RequestSink & sink)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = ++last_id_;
  services_[endpoint.name].servers.emplace(id, ServerEntry{endpoint, &sink});
  graph_changed();
  return std::make_unique<Server>(*this, endpoint.name, id);
}

std::unique_ptr<ClientLink> InProcessTransport::add_client(
  const Endpoint & endpoint, ResponseSink & sink)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = ++last_id_;
  services_[endpoint.name].clients.emplace(id, ClientEntry{endpoint, &sink});
  graph_changed();
  return std::make_unique<Client>(*this, endpoint.name, id);
}

std::vector<Endpoint> InProcessTransport::endpoints() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Endpoint> all;
  for (const auto & [name, topic] : topics_) {
    for (const auto & [id, entry] : topic.publishers) {
      all.push_back(entry.endpoint);
    }
    for (const auto & [id, entry] : topic.subscriptions) {
      all.push_back(entry.endpoint);
    }
  }
  for (const auto & [name, service] : services_) {
    for (const auto & [id, entry] : service.servers) {
      all.push_back(entry.endpoint);
    }
    for (const auto & [id, entry] : service.clients) {
      all.push_back(entry.endpoint);
    }
  }
  return all;
}

void InProcessTransport::add_graph_waker(detail::Waker & waker)
{
  std::lock_guard<std::mutex> lock(mutex_);
  graph_wakers_.insert(&waker);
}

void InProcessTransport::remove_graph_waker(detail::Waker & waker)
{
  std::lock_guard<std::mutex> lock(mutex_);
  graph_wakers_.erase(&waker);
}

void InProcessTransport::graph_changed()
{
  for (detail::Waker * waker : graph_wakers_) {
    waker->wake();
  }
}

}  // namespace

Transport & default_transport()
{
  // Never destroyed, so entities that outlive main's return still find it.
  static Transport * transport = new InProcessTransport();
  return *transport;
}

}  // namespace transport
}  // namespace rclcpp
