// Whether a service reply can reach its client yet. Discovery runs separately in each direction,
// so a client can see the service matched before the server's reply writer has matched the
// client's reply reader; a reply written then is lost. Clients name themselves with the same
// "clientid=<id>;" user data on their request writer and reply reader, which pairs the two.
#ifndef RCLCPP__DDS__REPLY_ROUTE_HPP_
#define RCLCPP__DDS__REPLY_ROUTE_HPP_

#include <string>

#include "dds/dds.h"

namespace rclcpp
{
namespace dds
{

enum class ReplyRoute
{
  Ready,       // the client's reply reader is matched, or the client names no id
  Waiting,     // the client is known, its reply reader not yet matched
  ClientGone,  // the request's writer is no longer matched: nobody to reply to
};

ReplyRoute reply_route(
  dds_entity_t request_reader, dds_entity_t reply_writer, dds_instance_handle_t request_writer);

// The value of `key` in "key=value;" user data, empty when absent.
std::string user_data_value(const dds_qos_t * qos, const std::string & key);

}  // namespace dds
}  // namespace rclcpp

#endif  // RCLCPP__DDS__REPLY_ROUTE_HPP_
