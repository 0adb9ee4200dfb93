// The endpoints this process made: listed for the graph queries, and announced on
// "ros_discovery_info" as the nodes that own which readers and writers, so that the ROS 2 tools
// of other programs can name them. Every change publishes the participant's whole state again.
#ifndef RCLCPP__DDS__LOCAL_GRAPH_HPP_
#define RCLCPP__DDS__LOCAL_GRAPH_HPP_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "dds_entities.hpp"
#include "rclcpp/transport/transport.hpp"
#include "rmw_dds_common/msg/gid.hpp"

namespace rclcpp
{
namespace dds
{

class LocalGraph
{
public:
  explicit LocalGraph(std::shared_ptr<Participant> participant);
  LocalGraph(const LocalGraph &) = delete;
  LocalGraph & operator=(const LocalGraph &) = delete;

  // Lists the endpoint, made of these DDS readers and writers; returns the id that removes it.
  uint64_t add(
    const transport::Endpoint & endpoint, const std::vector<dds_entity_t> & readers,
    const std::vector<dds_entity_t> & writers);
  void remove(uint64_t id);
  std::vector<transport::Endpoint> endpoints() const;

private:
  struct Entry
  {
    transport::Endpoint endpoint;
    std::vector<rmw_dds_common::msg::Gid> readers;
    std::vector<rmw_dds_common::msg::Gid> writers;
  };

  void announce();  // mutex_ held

  const std::shared_ptr<Participant> participant_;
  SampleWriter writer_;
  mutable std::mutex mutex_;
  std::map<uint64_t, Entry> entries_;
  uint64_t next_id_ = 1;
};

}  // namespace dds
}  // namespace rclcpp

#endif  // RCLCPP__DDS__LOCAL_GRAPH_HPP_
