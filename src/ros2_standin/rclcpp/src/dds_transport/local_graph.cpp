#include "local_graph.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

#include "cdr_codec.hpp"
#include "dds_names.hpp"
#include "rclcpp/transport/introspection.hpp"
#include "rmw/qos_profiles.h"
#include "rmw_dds_common/msg/participant_entities_info.hpp"

namespace rclcpp
{
namespace dds
{

namespace
{

using rmw_dds_common::msg::Gid;
using rmw_dds_common::msg::NodeEntitiesInfo;
using rmw_dds_common::msg::ParticipantEntitiesInfo;

const MessageMembers & info_members()
{
  return *transport::introspection_of<ParticipantEntitiesInfo>().message;
}

// A DDS GUID padded with zeros to the 24 bytes of a ROS 2 gid.
Gid gid_of(const dds_guid_t & guid)
{
  Gid gid;
  std::memcpy(gid.data.data(), guid.v, sizeof(guid.v));
  return gid;
}

std::vector<Gid> gids_of(const std::vector<dds_entity_t> & entities)
{
  std::vector<Gid> gids;
  for (dds_entity_t entity : entities) {
    dds_guid_t guid{};
    dds_get_guid(entity, &guid);
    gids.push_back(gid_of(guid));
  }
  return gids;
}

// A late-joining reader gets the latest state, as ROS 2 nodes announce it.
EntitySettings announcement_settings()
{
  rmw_qos_profile_t qos = rmw_qos_profile_default;
  qos.depth = 1;
  qos.durability = RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL;
  return EntitySettings{"ros_discovery_info", type_name(info_members()), qos, ""};
}

}  // namespace

LocalGraph::LocalGraph(std::shared_ptr<Participant> participant)
: participant_(std::move(participant)), writer_(participant_, announcement_settings())
{
}

uint64_t LocalGraph::add(
  const transport::Endpoint & endpoint, const std::vector<dds_entity_t> & readers,
  const std::vector<dds_entity_t> & writers)
{
  Entry entry{endpoint, gids_of(readers), gids_of(writers)};
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = next_id_++;
  entries_.emplace(id, std::move(entry));
  announce();
  return id;
}

void LocalGraph::remove(uint64_t id)
{
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.erase(id);
  announce();
}

std::vector<transport::Endpoint> LocalGraph::endpoints() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<transport::Endpoint> endpoints;
  for (const auto & [id, entry] : entries_) {
    endpoints.push_back(entry.endpoint);
  }
  return endpoints;
}

void LocalGraph::announce()
{
  ParticipantEntitiesInfo info;
  info.gid = gid_of(participant_->guid());
  auto & nodes = info.node_entities_info_seq;
  // Nodes in the order their first endpoint was made.
  for (const auto & item : entries_) {
    const Entry & entry = item.second;
    auto node = std::find_if(nodes.begin(), nodes.end(), [&entry](const NodeEntitiesInfo & known) {
          return known.node_name == entry.endpoint.node_name &&
          known.node_namespace == entry.endpoint.node_namespace;
        });
    if (node == nodes.end()) {
      nodes.push_back(NodeEntitiesInfo().set__node_namespace(entry.endpoint.node_namespace)
        .set__node_name(entry.endpoint.node_name));
      node = std::prev(nodes.end());
    }
    node->reader_gid_seq.insert(node->reader_gid_seq.end(), entry.readers.begin(),
      entry.readers.end());
    node->writer_gid_seq.insert(node->writer_gid_seq.end(), entry.writers.begin(),
      entry.writers.end());
  }
  writer_.write(encode(info_members(), &info));
}

}  // namespace dds
}  // namespace rclcpp
