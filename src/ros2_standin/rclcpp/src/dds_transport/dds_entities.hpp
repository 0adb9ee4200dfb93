// The DDS participant of a context and the readers and writers its links are made of.
#ifndef RCLCPP__DDS__DDS_ENTITIES_HPP_
#define RCLCPP__DDS__DDS_ENTITIES_HPP_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "dds/dds.h"
#include "rclcpp/transport/transport.hpp"

struct ddsi_sertype;

namespace rclcpp
{
namespace dds
{

// Runs `use` on every alive endpoint a reader of DDS's built-in publication or subscription topic
// holds. Reading leaves them in place for the next call; a graph larger than 4096 endpoints is read
// in part.
void read_endpoints(
  dds_entity_t reader, const std::function<void(const dds_builtintopic_endpoint_t &)> & use);

class Participant
{
public:
  explicit Participant(dds_domainid_t domain);
  ~Participant();
  Participant(const Participant &) = delete;
  Participant & operator=(const Participant &) = delete;

  dds_entity_t handle() const {return handle_;}
  const dds_guid_t & guid() const {return guid_;}
  // 1, 2, 3, ...: numbers the services and clients of the participant.
  uint32_t next_client_service_number() {return ++client_service_count_;}

  // The endpoints of other participants that DDS discovery reports alive.
  std::vector<transport::Endpoint> remote_endpoints() const;

  void add_waker(detail::Waker & waker);
  void remove_waker(detail::Waker & waker);
  // Called from DDS's own threads when a reader or writer matches or loses a peer.
  void graph_changed();

private:
  void list_remote(dds_entity_t reader, bool writers, std::vector<transport::Endpoint> & out) const;

  const dds_entity_t handle_;
  dds_guid_t guid_{};
  // Readers of DDS's built-in discovery topics.
  dds_entity_t publications_ = 0;
  dds_entity_t subscriptions_ = 0;
  std::atomic<uint32_t> client_service_count_{0};
  std::mutex mutex_;
  std::set<detail::Waker *> wakers_;
};

// Topic, reader or writer settings; `user_data` goes out with the endpoint's discovery.
struct EntitySettings
{
  std::string topic;
  std::string type;
  rmw_qos_profile_t qos;
  std::string user_data;
};

// A reader whose serialised samples go to `on_sample` on DDS's listener thread.
class SampleReader
{
public:
  // Gets the sample and the handle of the writer that sent it.
  using Handler =
    std::function<void(const std::vector<unsigned char> &, dds_instance_handle_t writer)>;

  SampleReader(std::shared_ptr<Participant> participant, const EntitySettings & settings,
    Handler on_sample);
  ~SampleReader();
  SampleReader(const SampleReader &) = delete;
  SampleReader & operator=(const SampleReader &) = delete;

  size_t matched_writers() const;
  const std::string & topic() const {return topic_name_;}
  dds_entity_t entity() const {return reader_;}

private:
  static void on_data_available(dds_entity_t reader, void * self);

  const std::shared_ptr<Participant> participant_;
  const std::string topic_name_;
  const Handler on_sample_;
  dds_entity_t topic_ = 0;
  dds_entity_t reader_ = 0;
};

class SampleWriter
{
public:
  SampleWriter(std::shared_ptr<Participant> participant, const EntitySettings & settings);
  ~SampleWriter();
  SampleWriter(const SampleWriter &) = delete;
  SampleWriter & operator=(const SampleWriter &) = delete;

  // `bytes` is a whole serialised sample, encapsulation header first.
  void write(std::vector<unsigned char> bytes);
  size_t matched_readers() const;
  const std::string & topic() const {return topic_name_;}
  dds_entity_t entity() const {return writer_;}

private:
  const std::shared_ptr<Participant> participant_;
  const std::string topic_name_;
  ddsi_sertype * type_ = nullptr;
  dds_entity_t topic_ = 0;
  dds_entity_t writer_ = 0;
};

}  // namespace dds
}  // namespace rclcpp

#endif  // RCLCPP__DDS__DDS_ENTITIES_HPP_
