// XCDR1 little-endian samples for any generated message type, driven by its C++ introspection
// type support. A sample is the 4-byte encapsulation header, an optional 16-byte request/reply
// header, then the message.
#ifndef RCLCPP__DDS__CDR_CODEC_HPP_
#define RCLCPP__DDS__CDR_CODEC_HPP_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"

namespace rclcpp
{
namespace dds
{

using rosidl_typesupport_introspection_cpp::MessageMembers;

// Client identifier and sequence number that lead every request and reply.
struct RequestHeader
{
  uint64_t client_id = 0;
  int64_t sequence_number = 0;
};

constexpr size_t kEncapsulationSize = 4;
constexpr size_t kRequestHeaderSize = 16;

// Throws std::length_error when a string or sequence exceeds its bound.
std::vector<unsigned char> encode(
  const MessageMembers & members, const void * message, const RequestHeader * header = nullptr);

// A message built by its type's own init function and destroyed by its fini function.
using DecodedMessage = std::shared_ptr<void>;

// Returns null and sets `error` when the sample is malformed; nothing is allocated beyond what
// the sample's bytes can hold.
DecodedMessage decode(
  const MessageMembers & members, const unsigned char * data, size_t size,
  RequestHeader * header, std::string & error);

}  // namespace dds
}  // namespace rclcpp

#endif  // RCLCPP__DDS__CDR_CODEC_HPP_
