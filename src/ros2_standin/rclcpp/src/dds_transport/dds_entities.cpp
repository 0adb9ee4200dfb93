#include "dds_entities.hpp"

#include <cstring>
#include <stdexcept>
#include <utility>

#include "dds/ddsi/ddsi_serdata.h"
#include "dds_names.hpp"
#include "serialized_type.hpp"

namespace rclcpp
{
namespace dds
{

namespace
{

[[noreturn]] void fail(const std::string & what, dds_return_t code)
{
  throw std::runtime_error(what + ": " + dds_strretcode(code));
}

dds_entity_t checked(dds_entity_t entity, const std::string & what)
{
  if (entity < 0) {
    fail(what, entity);
  }
  return entity;
}

// The topic entity and, through `type`, the sample type DDS settled on for it.
dds_entity_t create_topic(dds_entity_t participant, const EntitySettings & settings,
  ddsi_sertype ** type)
{
  *type = make_serialized_type(settings.type);
  return checked(dds_create_topic_sertype(participant, settings.topic.c_str(), type, nullptr,
    nullptr, nullptr), "cannot create topic '" + settings.topic + "'");
}

// QoS object that deletes itself.
struct Qos
{
  Qos(const EntitySettings & settings, bool for_writer)
  : qos(make_qos(settings.qos, for_writer))
  {
    if (!settings.user_data.empty()) {
      dds_qset_userdata(qos, settings.user_data.data(), settings.user_data.size());
    }
  }
  ~Qos() {dds_delete_qos(qos);}
  Qos(const Qos &) = delete;
  Qos & operator=(const Qos &) = delete;
  dds_qos_t * qos;
};

void on_subscription_matched(dds_entity_t, const dds_subscription_matched_status_t, void * arg)
{
  static_cast<Participant *>(arg)->graph_changed();
}

void on_publication_matched(dds_entity_t, const dds_publication_matched_status_t, void * arg)
{
  static_cast<Participant *>(arg)->graph_changed();
}

void on_discovery(dds_entity_t, void * arg)
{
  static_cast<Participant *>(arg)->graph_changed();
}

}  // namespace

void read_endpoints(
  dds_entity_t reader, const std::function<void(const dds_builtintopic_endpoint_t &)> & use)
{
  constexpr size_t kMost = 4096;
  std::vector<void *> samples(kMost, nullptr);
  std::vector<dds_sample_info_t> infos(kMost);
  // Disposed endpoints are not alive.
  const dds_return_t count = dds_read_mask(reader, samples.data(), infos.data(), kMost, kMost,
      DDS_ANY_SAMPLE_STATE | DDS_ANY_VIEW_STATE | DDS_ALIVE_INSTANCE_STATE);
  for (dds_return_t i = 0; i < count; ++i) {
    if (infos[i].valid_data) {
      use(*static_cast<const dds_builtintopic_endpoint_t *>(samples[i]));
    }
  }
  if (count > 0) {
    dds_return_loan(reader, samples.data(), count);
  }
}

Participant::Participant(dds_domainid_t domain)
: handle_([domain] {
      static const char enclave[] = "enclave=/;";
      dds_qos_t * qos = dds_create_qos();
      dds_qset_userdata(qos, enclave, sizeof(enclave) - 1);
      const dds_entity_t participant = dds_create_participant(domain, qos, nullptr);
      dds_delete_qos(qos);
      return checked(participant, "cannot join DDS domain " + std::to_string(domain));
    }())
{
  dds_get_guid(handle_, &guid_);
  dds_listener_t * listener = dds_create_listener(this);
  dds_lset_data_available(listener, on_discovery);
  publications_ = dds_create_reader(handle_, DDS_BUILTIN_TOPIC_DCPSPUBLICATION, nullptr, listener);
  subscriptions_ = dds_create_reader(handle_, DDS_BUILTIN_TOPIC_DCPSSUBSCRIPTION, nullptr,
      listener);
  dds_delete_listener(listener);
}

std::vector<transport::Endpoint> Participant::remote_endpoints() const
{
  std::vector<transport::Endpoint> endpoints;
  list_remote(publications_, true, endpoints);
  list_remote(subscriptions_, false, endpoints);
  return endpoints;
}

void Participant::list_remote(
  dds_entity_t reader, bool writers, std::vector<transport::Endpoint> & out) const
{
  read_endpoints(reader, [&](const dds_builtintopic_endpoint_t & endpoint) {
      RosEndpoint ros;
      if (std::memcmp(&endpoint.participant_key, &guid_, sizeof(guid_)) == 0 ||
        !ros_endpoint(endpoint.topic_name, endpoint.type_name, ros))
      {
        return;
      }
      const transport::EndpointKind kind = ros.is_service ?
        (writers ? transport::EndpointKind::Client : transport::EndpointKind::Server) :
        (writers ? transport::EndpointKind::Publisher : transport::EndpointKind::Subscription);
      out.push_back(transport::Endpoint{kind, "_NODE_NAME_UNKNOWN_", "_NODE_NAMESPACE_UNKNOWN_",
          ros.name, ros.type, ros_qos(endpoint.qos)});
    });
}

Participant::~Participant() {dds_delete(handle_);}

void Participant::add_waker(detail::Waker & waker)
{
  std::lock_guard<std::mutex> lock(mutex_);
  wakers_.insert(&waker);
}

void Participant::remove_waker(detail::Waker & waker)
{
  std::lock_guard<std::mutex> lock(mutex_);
  wakers_.erase(&waker);
}

void Participant::graph_changed()
{
  std::lock_guard<std::mutex> lock(mutex_);
  for (detail::Waker * waker : wakers_) {
    waker->wake();
  }
}

SampleReader::SampleReader(
  std::shared_ptr<Participant> participant, const EntitySettings & settings, Handler on_sample)
: participant_(std::move(participant)), topic_name_(settings.topic),
  on_sample_(std::move(on_sample))
{
  ddsi_sertype * type = nullptr;
  topic_ = create_topic(participant_->handle(), settings, &type);
  Qos qos(settings, false);
  dds_listener_t * listener = dds_create_listener(this);
  dds_lset_data_available_arg(listener, on_data_available, this, false);
  dds_lset_subscription_matched_arg(listener, on_subscription_matched, participant_.get(), false);
  reader_ = dds_create_reader(participant_->handle(), topic_, qos.qos, listener);
  dds_delete_listener(listener);
  if (reader_ < 0) {
    dds_delete(topic_);
    fail("cannot create a reader on '" + topic_name_ + "'", reader_);
  }
}

SampleReader::~SampleReader()
{
  // Deleting the reader waits for a listener call in progress.
  dds_delete(reader_);
  dds_delete(topic_);
}

size_t SampleReader::matched_writers() const
{
  dds_subscription_matched_status_t status{};
  dds_get_subscription_matched_status(reader_, &status);
  return status.current_count;
}

void SampleReader::on_data_available(dds_entity_t reader, void * self)
{
  const auto & handler = static_cast<SampleReader *>(self)->on_sample_;
  ddsi_serdata * sample = nullptr;
  dds_sample_info_t info;
  while (dds_takecdr(reader, &sample, 1, &info, DDS_ANY_STATE) == 1) {
    if (info.valid_data) {
      handler(serialized_bytes(sample), info.publication_handle);
    }
    ddsi_serdata_unref(sample);
  }
}

SampleWriter::SampleWriter(
  std::shared_ptr<Participant> participant, const EntitySettings & settings)
: participant_(std::move(participant)), topic_name_(settings.topic)
{
  topic_ = create_topic(participant_->handle(), settings, &type_);
  Qos qos(settings, true);
  dds_listener_t * listener = dds_create_listener(participant_.get());
  dds_lset_publication_matched(listener, on_publication_matched);
  writer_ = dds_create_writer(participant_->handle(), topic_, qos.qos, listener);
  dds_delete_listener(listener);
  if (writer_ < 0) {
    dds_delete(topic_);
    fail("cannot create a writer on '" + topic_name_ + "'", writer_);
  }
}

SampleWriter::~SampleWriter()
{
  dds_delete(writer_);
  dds_delete(topic_);
}

void SampleWriter::write(std::vector<unsigned char> bytes)
{
  const dds_return_t result =
    dds_writecdr(writer_, make_serialized_sample(type_, std::move(bytes)));
  if (result < 0) {
    fail("cannot write on '" + topic_name_ + "'", result);
  }
}

size_t SampleWriter::matched_readers() const
{
  dds_publication_matched_status_t status{};
  dds_get_publication_matched_status(writer_, &status);
  return status.current_count;
}

}  // namespace dds
}  // namespace rclcpp
