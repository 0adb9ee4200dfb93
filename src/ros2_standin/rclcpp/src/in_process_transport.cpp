// Delivery between the nodes of this process: a message is handed over as a shared pointer, so
// publisher and subscriptions share one immutable object and nothing is copied.
//
// Sinks are called outside the transport's lock, so a sink may publish, request or answer from
// within a delivery. What a sink is to receive waits in its mailbox; the thread that finds the
// mailbox idle hands over everything in it, in order, so each sink gets its items one at a time
// and in the order they were sent, history of a late joiner first. Destroying a link closes its
// mailbox and waits while another thread is still inside its sink.
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
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

// Guarded by the transport's mutex; the sink itself is called only by the draining thread.
template<typename SinkT, typename ItemT>
struct Mailbox
{
  explicit Mailbox(SinkT & sink_arg)
  : sink(sink_arg) {}

  SinkT & sink;
  std::deque<ItemT> pending;
  bool open = true;
  bool draining = false;
  std::thread::id drainer;
};

using Request = std::pair<rmw_request_id_t, std::shared_ptr<void>>;
using Response = std::pair<int64_t, std::shared_ptr<void>>;
using MessageBox = Mailbox<MessageSink, std::shared_ptr<const void>>;
using RequestBox = Mailbox<RequestSink, Request>;
using ResponseBox = Mailbox<ResponseSink, Response>;

void hand_over(MessageSink & sink, std::shared_ptr<const void> message)
{
  sink.deliver(std::move(message));
}

void hand_over(RequestSink & sink, Request request)
{
  sink.deliver_request(request.first, std::move(request.second));
}

void hand_over(ResponseSink & sink, Response response)
{
  sink.deliver_response(response.first, std::move(response.second));
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
    std::shared_ptr<MessageBox> box;
  };
  struct Topic
  {
    std::map<uint64_t, PublisherEntry> publishers;
    std::map<uint64_t, SubscriptionEntry> subscriptions;
  };
  struct ServerEntry
  {
    Endpoint endpoint;
    std::shared_ptr<RequestBox> box;
  };
  struct ClientEntry
  {
    Endpoint endpoint;
    std::shared_ptr<ResponseBox> box;
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

  // mutex_ held. Queues the item; true when the calling thread is to drain the box.
  template<typename Box, typename ItemT>
  static bool post(Box & box, ItemT item);
  // mutex_ not held, the calling thread the box's drainer: hands over what is pending.
  template<typename Box>
  void drain(const std::shared_ptr<Box> & box);
  // Ends deliveries into the box's sink; returns once no other thread is inside it.
  template<typename Box>
  void close(std::unique_lock<std::mutex> & lock, Box & box);

  mutable std::mutex mutex_;
  std::condition_variable drained_;
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
    std::vector<std::shared_ptr<MessageBox>> to_drain;
    {
      std::lock_guard<std::mutex> lock(transport_.mutex_);
      post_to_subscriptions(message, to_drain);
    }
    for (const auto & box : to_drain) {
      transport_.drain(box);
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
  // mutex_ held.
  void post_to_subscriptions(
    const std::shared_ptr<const void> & message,
    std::vector<std::shared_ptr<MessageBox>> & to_drain)
  {
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
      if (matches(self.endpoint, subscription.endpoint) && post(*subscription.box, message)) {
        to_drain.push_back(subscription.box);
      }
    }
  }

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
    std::unique_lock<std::mutex> lock(transport_.mutex_);
    auto & subscriptions = transport_.topics_[topic_].subscriptions;
    const std::shared_ptr<MessageBox> box = subscriptions.at(id_).box;
    subscriptions.erase(id_);
    transport_.graph_changed();
    transport_.close(lock, *box);
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
    std::unique_lock<std::mutex> lock(transport_.mutex_);
    auto & servers = transport_.services_[service_].servers;
    const std::shared_ptr<RequestBox> box = servers.at(id_).box;
    servers.erase(id_);
    transport_.graph_changed();
    transport_.close(lock, *box);
  }

  void send_response(const rmw_request_id_t & id, std::shared_ptr<void> response) override
  {
    uint64_t client_id = 0;
    std::memcpy(&client_id, id.writer_guid, sizeof(client_id));
    std::shared_ptr<ResponseBox> to_drain;
    {
      std::lock_guard<std::mutex> lock(transport_.mutex_);
      auto & clients = transport_.services_[service_].clients;
      auto client = clients.find(client_id);
      if (client != clients.end() &&
        post(*client->second.box, Response{id.sequence_number, std::move(response)}))
      {
        to_drain = client->second.box;
      }
    }
    if (to_drain) {
      transport_.drain(to_drain);
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
    std::unique_lock<std::mutex> lock(transport_.mutex_);
    auto & clients = transport_.services_[service_].clients;
    const std::shared_ptr<ResponseBox> box = clients.at(id_).box;
    clients.erase(id_);
    transport_.graph_changed();
    transport_.close(lock, *box);
  }

  int64_t send_request(std::shared_ptr<void> request) override
  {
    rmw_request_id_t request_id{};
    std::shared_ptr<RequestBox> to_drain;
    {
      std::lock_guard<std::mutex> lock(transport_.mutex_);
      Service & service = transport_.services_[service_];
      ClientEntry & self = service.clients.at(id_);
      std::memcpy(request_id.writer_guid, &id_, sizeof(id_));
      request_id.sequence_number = ++self.last_sequence;
      ServerEntry * server = first_server(service);
      if (server && post(*server->box, Request{request_id, std::move(request)})) {
        to_drain = server->box;
      }
    }
    if (to_drain) {
      transport_.drain(to_drain);
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
  auto box = std::make_shared<MessageBox>(sink);
  bool replay = false;
  uint64_t id = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = ++last_id_;
    Topic & topic = topics_[endpoint.name];
    topic.subscriptions.emplace(id, SubscriptionEntry{endpoint, box});
    // A transient-local late joiner gets what transient-local publishers kept, oldest first.
    for (const auto & [publisher_id, publisher] : topic.publishers) {
      if (is_transient_local(endpoint.qos) && matches(publisher.endpoint, endpoint)) {
        for (const auto & message : publisher.history) {
          replay = post(*box, message) || replay;
        }
      }
    }
    graph_changed();
  }
  // Made before the replay, so an exception from the sink still removes the entry.
  auto link = std::make_unique<Subscription>(*this, endpoint.name, id);
  if (replay) {
    drain(box);
  }
  return link;
}

std::unique_ptr<ServiceLink> InProcessTransport::add_service(
  const Endpoint & endpoint, RequestSink & sink)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = ++last_id_;
  services_[endpoint.name].servers.emplace(
    id, ServerEntry{endpoint, std::make_shared<RequestBox>(sink)});
  graph_changed();
  return std::make_unique<Server>(*this, endpoint.name, id);
}

std::unique_ptr<ClientLink> InProcessTransport::add_client(
  const Endpoint & endpoint, ResponseSink & sink)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = ++last_id_;
  services_[endpoint.name].clients.emplace(
    id, ClientEntry{endpoint, std::make_shared<ResponseBox>(sink)});
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

template<typename Box, typename ItemT>
bool InProcessTransport::post(Box & box, ItemT item)
{
  box.pending.push_back(std::move(item));
  if (box.draining) {
    return false;
  }
  box.draining = true;
  box.drainer = std::this_thread::get_id();
  return true;
}

template<typename Box>
void InProcessTransport::drain(const std::shared_ptr<Box> & box)
{
  std::unique_lock<std::mutex> lock(mutex_);
  // Also when the sink throws: the box is given up, and a waiting close goes on.
  struct Release
  {
    InProcessTransport & transport;
    Box & box;
    std::unique_lock<std::mutex> & lock;
    ~Release()
    {
      if (!lock.owns_lock()) {
        lock.lock();
      }
      box.draining = false;
      lock.unlock();
      transport.drained_.notify_all();
    }
  } release{*this, *box, lock};
  while (box->open && !box->pending.empty()) {
    auto item = std::move(box->pending.front());
    box->pending.pop_front();
    lock.unlock();
    hand_over(box->sink, std::move(item));
    lock.lock();
  }
}

template<typename Box>
void InProcessTransport::close(std::unique_lock<std::mutex> & lock, Box & box)
{
  box.open = false;
  const auto dropped = std::exchange(box.pending, {});
  // A sink that destroys its own link from within a delivery does not wait for itself.
  drained_.wait(lock, [&box] {
      return !box.draining || box.drainer == std::this_thread::get_id();
    });
  lock.unlock();
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
