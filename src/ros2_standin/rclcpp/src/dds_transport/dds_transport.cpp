#include "dds_transport.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "cdr_codec.hpp"
#include "dds_entities.hpp"
#include "dds_names.hpp"
#include "local_graph.hpp"
#include "reply_route.hpp"

namespace rclcpp
{
namespace dds
{

namespace
{

using transport::Endpoint;
using transport::MessageSink;
using transport::RequestSink;
using transport::ResponseSink;

dds_domainid_t domain_from_environment()
{
  const char * value = std::getenv("ROS_DOMAIN_ID");
  if (value == nullptr || *value == '\0') {
    return 0;
  }
  char * end = nullptr;
  const unsigned long domain = std::strtoul(value, &end, 10);
  if (*end != '\0' || domain > 232) {
    throw std::runtime_error(std::string("ROS_DOMAIN_ID '") + value +
            "' is not a domain id (0 to 232)");
  }
  return static_cast<dds_domainid_t>(domain);
}

const MessageMembers & introspection(const MessageMembers * members, const Endpoint & endpoint)
{
  if (members == nullptr) {
    throw std::invalid_argument("'" + endpoint.name + "' (" + endpoint.type_name +
            ") carries no type introspection, so it cannot cross processes");
  }
  return *members;
}

// The message in `bytes`, or null once it has been reported as dropped.
DecodedMessage decode_or_report(
  const MessageMembers & members, const std::vector<unsigned char> & bytes,
  RequestHeader * header, const std::string & topic)
{
  std::string error;
  DecodedMessage message = decode(members, bytes.data(), bytes.size(), header, error);
  if (!message) {
    std::fprintf(stderr, "[WARN] [dds]: dropped a malformed sample on '%s': %s\n",
      topic.c_str(), error.c_str());
  }
  return message;
}

uint64_t random_identifier()
{
  std::random_device device;
  std::uniform_int_distribution<uint64_t> draw(1, UINT64_MAX);
  return draw(device);
}

EntitySettings settings(
  const char * prefix, const Endpoint & endpoint, const char * suffix,
  const MessageMembers & members, std::string user_data = "")
{
  return EntitySettings{topic_name(prefix, endpoint.name, suffix, endpoint.qos),
    type_name(members), endpoint.qos, std::move(user_data)};
}

// "clientid=<id>;" or "serviceid=<id>;", the same on both endpoints of a client or service.
std::string client_service_user_data(const char * key, Participant & participant)
{
  return std::string(key) + "=" +
         client_service_id(participant.guid(), participant.next_client_service_number()) + ";";
}

// Keeps an endpoint, made of these readers and writers, listed in the graph for as long as it
// lives.
class Listed
{
public:
  Listed(
    std::shared_ptr<LocalGraph> graph, const Endpoint & endpoint,
    const std::vector<dds_entity_t> & readers, const std::vector<dds_entity_t> & writers)
  : graph_(std::move(graph)), id_(graph_->add(endpoint, readers, writers)) {}
  ~Listed() {graph_->remove(id_);}
  Listed(const Listed &) = delete;
  Listed & operator=(const Listed &) = delete;

private:
  const std::shared_ptr<LocalGraph> graph_;
  const uint64_t id_;
};

class DdsPublisherLink : public transport::PublisherLink
{
public:
  DdsPublisherLink(
    const std::shared_ptr<Participant> & participant, const std::shared_ptr<LocalGraph> & graph,
    const Endpoint & endpoint)
  : members_(introspection(endpoint.introspection.message, endpoint)),
    writer_(participant, settings("rt", endpoint, "", members_)),
    listed_(graph, endpoint, {}, {writer_.entity()}) {}

  void publish(std::shared_ptr<const void> message) override
  {
    writer_.write(encode(members_, message.get()));
  }

  size_t matched_subscriptions() const override {return writer_.matched_readers();}

private:
  const MessageMembers & members_;
  SampleWriter writer_;
  Listed listed_;
};

class DdsSubscriptionLink : public transport::SubscriptionLink
{
public:
  DdsSubscriptionLink(
    const std::shared_ptr<Participant> & participant, const std::shared_ptr<LocalGraph> & graph,
    const Endpoint & endpoint, MessageSink & sink)
  : members_(introspection(endpoint.introspection.message, endpoint)),
    reader_(participant, settings("rt", endpoint, "", members_),
      [this, &sink](const std::vector<unsigned char> & bytes, dds_instance_handle_t) {
        if (auto message = decode_or_report(members_, bytes, nullptr, reader_.topic())) {
          sink.deliver(std::move(message));
        }
      }),
    listed_(graph, endpoint, {reader_.entity()}, {}) {}

  size_t matched_publishers() const override {return reader_.matched_writers();}

private:
  const MessageMembers & members_;
  SampleReader reader_;
  Listed listed_;
};

class DdsServiceLink : public transport::ServiceLink
{
public:
  DdsServiceLink(
    const std::shared_ptr<Participant> & participant, const std::shared_ptr<LocalGraph> & graph,
    const Endpoint & endpoint, RequestSink & sink)
  : request_members_(introspection(endpoint.introspection.message, endpoint)),
    response_members_(introspection(endpoint.introspection.response, endpoint)),
    user_data_(client_service_user_data("serviceid", *participant)),
    reply_writer_(participant,
      settings("rr", endpoint, "Reply", response_members_, user_data_)),
    request_reader_(participant,
      settings("rq", endpoint, "Request", request_members_, user_data_),
      [this, &sink](const std::vector<unsigned char> & bytes, dds_instance_handle_t writer) {
        RequestHeader header;
        auto request = decode_or_report(request_members_, bytes, &header, request_reader_.topic());
        if (!request) {
          return;
        }
        // The client's identifier, then the writer it used, to find its reply reader later.
        rmw_request_id_t id{};
        std::memcpy(id.writer_guid, &header.client_id, 8);
        std::memcpy(id.writer_guid + 8, &writer, 8);
        id.sequence_number = header.sequence_number;
        sink.deliver_request(id, std::move(request));
      }),
    listed_(graph, endpoint, {request_reader_.entity()}, {reply_writer_.entity()}) {}

  // Waits up to 100 ms for the client's reply reader to be matched, as ROS 2 servers do.
  void send_response(const rmw_request_id_t & id, std::shared_ptr<void> response) override
  {
    RequestHeader header;
    dds_instance_handle_t writer = 0;
    std::memcpy(&header.client_id, id.writer_guid, 8);
    std::memcpy(&writer, id.writer_guid + 8, 8);
    header.sequence_number = id.sequence_number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    ReplyRoute route = ReplyRoute::Waiting;
    while ((route = reply_route(request_reader_.entity(), reply_writer_.entity(), writer)) ==
      ReplyRoute::Waiting && std::chrono::steady_clock::now() < deadline)
    {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (route == ReplyRoute::Waiting) {
      std::fprintf(stderr, "[WARN] [dds]: reply on '%s' dropped: the client's reply reader was "
        "not found within 100 ms\n", reply_writer_.topic().c_str());
    } else if (route == ReplyRoute::Ready) {
      reply_writer_.write(encode(response_members_, response.get(), &header));
    }
  }

private:
  const MessageMembers & request_members_;
  const MessageMembers & response_members_;
  const std::string user_data_;
  SampleWriter reply_writer_;
  SampleReader request_reader_;
  Listed listed_;
};

// One counter for every client of the process, as servers expect.
std::atomic<int64_t> next_sequence_number{1};

class DdsClientLink : public transport::ClientLink
{
public:
  DdsClientLink(
    const std::shared_ptr<Participant> & participant, const std::shared_ptr<LocalGraph> & graph,
    const Endpoint & endpoint, ResponseSink & sink)
  : request_members_(introspection(endpoint.introspection.message, endpoint)),
    response_members_(introspection(endpoint.introspection.response, endpoint)),
    client_id_(random_identifier()),
    user_data_(client_service_user_data("clientid", *participant)),
    request_writer_(participant,
      settings("rq", endpoint, "Request", request_members_, user_data_)),
    reply_reader_(participant,
      settings("rr", endpoint, "Reply", response_members_, user_data_),
      [this, &sink](const std::vector<unsigned char> & bytes, dds_instance_handle_t) {
        RequestHeader header;
        auto response = decode_or_report(response_members_, bytes, &header, reply_reader_.topic());
        if (response && header.client_id == client_id_) {
          // Replies to other clients of the same service are not ours.
          sink.deliver_response(header.sequence_number, std::move(response));
        }
      }),
    listed_(graph, endpoint, {reply_reader_.entity()}, {request_writer_.entity()}) {}

  int64_t send_request(std::shared_ptr<void> request) override
  {
    const RequestHeader header{client_id_, next_sequence_number++};
    request_writer_.write(encode(request_members_, request.get(), &header));
    return header.sequence_number;
  }

  bool service_is_available() const override
  {
    return request_writer_.matched_readers() > 0 && reply_reader_.matched_writers() > 0;
  }

private:
  const MessageMembers & request_members_;
  const MessageMembers & response_members_;
  const uint64_t client_id_;
  const std::string user_data_;
  SampleWriter request_writer_;
  SampleReader reply_reader_;
  Listed listed_;
};

}  // namespace

DdsTransport::DdsTransport()
: participant_(std::make_shared<Participant>(domain_from_environment())),
  graph_(std::make_shared<LocalGraph>(participant_))
{
}

DdsTransport::~DdsTransport() = default;

std::unique_ptr<transport::PublisherLink> DdsTransport::add_publisher(const Endpoint & endpoint)
{
  return std::make_unique<DdsPublisherLink>(participant_, graph_, endpoint);
}

std::unique_ptr<transport::SubscriptionLink> DdsTransport::add_subscription(
  const Endpoint & endpoint, MessageSink & sink)
{
  return std::make_unique<DdsSubscriptionLink>(participant_, graph_, endpoint, sink);
}

std::unique_ptr<transport::ServiceLink> DdsTransport::add_service(
  const Endpoint & endpoint, RequestSink & sink)
{
  return std::make_unique<DdsServiceLink>(participant_, graph_, endpoint, sink);
}

std::unique_ptr<transport::ClientLink> DdsTransport::add_client(
  const Endpoint & endpoint, ResponseSink & sink)
{
  return std::make_unique<DdsClientLink>(participant_, graph_, endpoint, sink);
}

std::vector<Endpoint> DdsTransport::endpoints() const
{
  std::vector<Endpoint> all = graph_->endpoints();
  const std::vector<Endpoint> remote = participant_->remote_endpoints();
  all.insert(all.end(), remote.begin(), remote.end());
  return all;
}

void DdsTransport::add_graph_waker(detail::Waker & waker) {participant_->add_waker(waker);}

void DdsTransport::remove_graph_waker(detail::Waker & waker) {participant_->remove_waker(waker);}

}  // namespace dds
}  // namespace rclcpp
