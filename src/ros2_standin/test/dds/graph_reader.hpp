// Another participant on the domain, looking at the ROS 2 graph as the graph tools do: the nodes
// each program announces on "ros_discovery_info", their endpoints named through DDS discovery.
#ifndef ROS2_STANDIN_TEST_DDS_GRAPH_READER_HPP_
#define ROS2_STANDIN_TEST_DDS_GRAPH_READER_HPP_

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "dds_transport/cdr_codec.hpp"
#include "dds_transport/dds_entities.hpp"
#include "dds_transport/dds_names.hpp"
#include "rclcpp/transport/introspection.hpp"
#include "rmw/qos_profiles.h"
#include "rmw_dds_common/msg/participant_entities_info.hpp"

class GraphReader
{
public:
  using Info = rmw_dds_common::msg::ParticipantEntitiesInfo;

  // What one DDS endpoint looks like in discovery.
  struct DdsEndpoint
  {
    std::string topic;
    std::string user_data;
    dds_guid_t participant;
    const dds_qos_t * qos;  // valid during the call it is given to
  };

  // A node's endpoints as DDS topic names, e.g. "rt/joint_states".
  struct NodeEndpoints
  {
    std::multiset<std::string> readers;
    std::multiset<std::string> writers;
  };

  // On the domain ROS_DOMAIN_ID names.
  GraphReader()
  : participant_(std::make_shared<rclcpp::dds::Participant>(domain())),
    publications_(dds_create_reader(participant_->handle(), DDS_BUILTIN_TOPIC_DCPSPUBLICATION,
      nullptr, nullptr)),
    subscriptions_(dds_create_reader(participant_->handle(), DDS_BUILTIN_TOPIC_DCPSSUBSCRIPTION,
      nullptr, nullptr)),
    announcements_(participant_, settings(), [this](const std::vector<unsigned char> & bytes,
      dds_instance_handle_t) {
        std::string error;
        auto info = rclcpp::dds::decode(members(), bytes.data(), bytes.size(), nullptr, error);
        std::lock_guard<std::mutex> lock(mutex_);
        if (!info) {
          errors_.push_back(error);
          return;
        }
        const Info & latest = *std::static_pointer_cast<Info>(info);
        latest_[std::string(latest.gid.data.begin(), latest.gid.data.end())] = latest;
      })
  {
  }

  // The latest announcement of every participant, by its gid.
  std::map<std::string, Info> announcements() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return latest_;
  }

  std::vector<std::string> decode_errors() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
  }

  // Every node announced, by its fully qualified name; an endpoint DDS has not reported yet is
  // left out.
  std::map<std::string, NodeEndpoints> nodes() const
  {
    const auto writers = endpoints(publications_);
    const auto readers = endpoints(subscriptions_);
    std::map<std::string, NodeEndpoints> nodes;
    for (const auto & [gid, info] : announcements()) {
      for (const auto & node : info.node_entities_info_seq) {
        NodeEndpoints & named = nodes[(node.node_namespace == "/" ? "" : node.node_namespace) +
            "/" + node.node_name];
        add_topics(node.reader_gid_seq, readers, named.readers);
        add_topics(node.writer_gid_seq, writers, named.writers);
      }
    }
    return nodes;
  }

  // Discovery's view of every writer (or reader), by its GUID's bytes; run `use` on each.
  template<typename UseT>
  void each_endpoint(bool writers, UseT use) const
  {
    read(writers ? publications_ : subscriptions_, use);
  }

private:
  static dds_domainid_t domain()
  {
    const char * value = std::getenv("ROS_DOMAIN_ID");
    return static_cast<dds_domainid_t>(value ? std::stoul(value) : 0);
  }

  static const rclcpp::dds::MessageMembers & members()
  {
    return *rclcpp::transport::introspection_of<Info>().message;
  }

  // As ROS 2 nodes read it: every announcement, including those made before the reader existed.
  static rclcpp::dds::EntitySettings settings()
  {
    rmw_qos_profile_t qos = rmw_qos_profile_default;
    qos.history = RMW_QOS_POLICY_HISTORY_KEEP_ALL;
    qos.durability = RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL;
    return {"ros_discovery_info", rclcpp::dds::type_name(members()), qos, ""};
  }

  template<typename UseT>
  static void read(dds_entity_t reader, UseT use)
  {
    rclcpp::dds::read_endpoints(reader, [&use](const dds_builtintopic_endpoint_t & endpoint) {
        void * data = nullptr;
        size_t size = 0;
        std::string user_data;
        if (dds_qget_userdata(endpoint.qos, &data, &size) && data != nullptr) {
          user_data.assign(static_cast<const char *>(data), size);
          dds_free(data);
        }
        use(std::string(reinterpret_cast<const char *>(endpoint.key.v), 16),
          DdsEndpoint{endpoint.topic_name, user_data, endpoint.participant_key, endpoint.qos});
      });
  }

  static std::map<std::string, std::string> endpoints(dds_entity_t reader)
  {
    std::map<std::string, std::string> topics;
    read(reader, [&topics](const std::string & guid, const DdsEndpoint & endpoint) {
        topics[guid] = endpoint.topic;
      });
    return topics;
  }

  static void add_topics(
    const std::vector<rmw_dds_common::msg::Gid> & gids,
    const std::map<std::string, std::string> & topics, std::multiset<std::string> & out)
  {
    for (const auto & gid : gids) {
      auto found = topics.find(std::string(gid.data.begin(), gid.data.begin() + 16));
      if (found != topics.end()) {
        out.insert(found->second);
      }
    }
  }

  const std::shared_ptr<rclcpp::dds::Participant> participant_;
  const dds_entity_t publications_;
  const dds_entity_t subscriptions_;
  mutable std::mutex mutex_;
  std::map<std::string, Info> latest_;
  std::vector<std::string> errors_;
  rclcpp::dds::SampleReader announcements_;  // last: its handler uses the members above
};

#endif  // ROS2_STANDIN_TEST_DDS_GRAPH_READER_HPP_
