// The sample codec: every field survives a round trip, and the decoder, which faces the
// network, turns down malformed samples without crashing or allocating what the bytes cannot
// back.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "codec_samples.hpp"
#include "dds/ddsi/ddsi_serdata.h"
#include "dds/ddsi/ddsi_sertype.h"
#include "dds_transport/cdr_codec.hpp"
#include "dds_transport/serialized_type.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/parameter_value.hpp"
#include "rosidl_typesupport_introspection_cpp/field_types.hpp"

namespace
{

using rclcpp::dds::decode;
using rclcpp::dds::MessageMembers;
using rclcpp::dds::encode;
using rclcpp::dds::RequestHeader;
using sensor_msgs::msg::JointState;

// The sample decodes back to the message, with the request header when one leads, and every
// proper prefix of it is refused (a copy of exactly that size, so that ASan sees any read past it).
template<typename MessageT>
void expect_round_trip(const MessageT & message, const RequestHeader * header = nullptr)
{
  const auto & members = codec_samples::members<MessageT>();
  const auto bytes = encode(members, &message, header);
  std::string error;
  RequestHeader decoded_header;
  RequestHeader * header_out = header ? &decoded_header : nullptr;
  auto decoded = decode(members, bytes.data(), bytes.size(), header_out, error);
  ASSERT_TRUE(decoded) << error;
  EXPECT_EQ(*std::static_pointer_cast<MessageT>(decoded), message);
  if (header) {
    EXPECT_EQ(decoded_header.client_id, header->client_id);
    EXPECT_EQ(decoded_header.sequence_number, header->sequence_number);
  }
  for (size_t size = 0; size < bytes.size(); ++size) {
    const std::vector<unsigned char> prefix(bytes.begin(), bytes.begin() + size);
    error.clear();
    EXPECT_FALSE(decode(members, prefix.data(), prefix.size(), header_out, error)) << size;
    EXPECT_FALSE(error.empty());
  }
}

// Why the sample is refused; empty when it is not.
std::string decode_error(const MessageMembers & members, const std::vector<unsigned char> & bytes)
{
  std::string error;
  return decode(members, bytes.data(), bytes.size(), nullptr, error) ? "" : error;
}

void put_u32(std::vector<unsigned char> & bytes, size_t at, uint32_t value)
{
  std::memcpy(bytes.data() + at, &value, 4);
}

TEST(CdrCodec, EveryFieldSurvivesARoundTripAndEveryTruncationIsRefused)
{
  expect_round_trip(codec_samples::joint_state());
  expect_round_trip(codec_samples::point_cloud(100));
  expect_round_trip(codec_samples::marker());
  expect_round_trip(visualization_msgs::msg::Marker());
  expect_round_trip(codec_samples::trajectory_goal());
  const RequestHeader header{0xfedcba9876543210ULL, -5};
  expect_round_trip(codec_samples::arm_grab_request(), &header);
  rcl_interfaces::msg::ParameterValue value;
  value.bool_array_value = {true, false, true};
  value.byte_array_value = {0, 255};
  expect_round_trip(value);
}

TEST(CdrCodec, ForgedCountsLengthsAndEncapsulationsAreRefusedBeforeAllocation)
{
  JointState state;
  state.header.frame_id = "ab";
  const auto bytes = encode(codec_samples::members<JointState>(), &state);
  // Offsets after the 4-byte encapsulation: stamp 0-7, frame_id length 8, "ab\0" 12-14,
  // padding, name count at 16.
  const std::pair<std::function<void(std::vector<unsigned char> &)>, const char *> cases[] = {
    {[](auto & forged) {put_u32(forged, 4 + 16, 0xffffffffu);}, "'name' claims 4294967295 elements"},
    {[](auto & forged) {put_u32(forged, 4 + 8, 0x7fffffffu);}, "'frame_id' claims"},
    {[](auto & forged) {forged[4 + 14] = 'c';}, "not terminated"},
    {[](auto & forged) {forged[1] = 0x00;}, "encapsulation 0x0000"},  // big-endian
    {[](auto & forged) {forged[1] = 0x07;}, "encapsulation 0x0007"},  // XCDR2
    {[](auto & forged) {forged.resize(2);}, "shorter than its encapsulation"},
  };
  for (const auto & [forge, error] : cases) {
    auto forged = bytes;
    forge(forged);
    EXPECT_NE(decode_error(codec_samples::members<JointState>(), forged).find(error), std::string::npos) << error;
  }

  sensor_msgs::msg::PointCloud2 cloud;
  auto cloud_bytes = encode(codec_samples::members<decltype(cloud)>(), &cloud);
  // A million-byte payload claimed with one byte (is_dense) left after the count.
  put_u32(cloud_bytes, cloud_bytes.size() - 5, 1000000);
  EXPECT_NE(decode_error(codec_samples::members<decltype(cloud)>(), cloud_bytes).find("'data' claims 1000000 elements"),
    std::string::npos);
}

// A message type with one string of at most three characters; no generated type has one.
struct BoundedName
{
  std::string name;
};

const rosidl_typesupport_introspection_cpp::MessageMembers & bounded_name_members()
{
  static const rosidl_typesupport_introspection_cpp::MessageMember member{"name",
    rosidl_typesupport_introspection_cpp::ROS_TYPE_STRING, 3, nullptr, false, 0, false, 0,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  static const rosidl_typesupport_introspection_cpp::MessageMembers members{"test::msg",
    "BoundedName", 1, sizeof(BoundedName), &member,
    [](void * at, rosidl_runtime_cpp::MessageInitialization) {new (at) BoundedName();},
    [](void * at) {static_cast<BoundedName *>(at)->~BoundedName();}};
  return members;
}

TEST(CdrCodec, BoundedStringsAndSequencesAreEnforced)
{
  BoundedName name{"abc"};
  EXPECT_EQ(decode_error(bounded_name_members(), encode(bounded_name_members(), &name)), "");
  name.name = "abcd";
  EXPECT_THROW(encode(bounded_name_members(), &name), std::length_error);
  // The same string forged on the wire: length 5 with its NUL.
  EXPECT_NE(decode_error(bounded_name_members(), {0x00, 0x01, 0x00, 0x00, 5, 0, 0, 0, 'a', 'b', 'c', 'd', 0})
    .find("exceeds its bound of 3"), std::string::npos);

  rcl_interfaces::msg::ParameterDescriptor descriptor;
  auto bytes = encode(codec_samples::members<decltype(descriptor)>(), &descriptor);
  // integer_range (at most one element) is last; claim two, backed by enough bytes.
  put_u32(bytes, bytes.size() - 4, 2);
  bytes.insert(bytes.end(), 64, 0);
  EXPECT_NE(decode_error(codec_samples::members<decltype(descriptor)>(), bytes).find("bound of 1"), std::string::npos);
}

// Samples go out padded with zeros to a multiple of four bytes, and a reader takes up to three
// bytes of such padding after the last field.
TEST(CdrCodec, SamplesArePaddedToFourBytesOnTheWireAndReadWithTheirPadding)
{
  ddsi_sertype * type = rclcpp::dds::make_serialized_type("std_msgs::msg::dds_::Bool_");
  for (size_t size = 4; size <= 8; ++size) {
    std::vector<unsigned char> bytes(size, 0xab);
    ddsi_serdata * sample = rclcpp::dds::make_serialized_sample(type, bytes);
    const uint32_t wire_size = ddsi_serdata_size(sample);
    EXPECT_EQ(wire_size, (size + 3) / 4 * 4) << size;
    std::vector<unsigned char> sent(wire_size);
    ddsi_serdata_to_ser(sample, 0, wire_size, sent.data());
    bytes.resize(wire_size, 0);
    EXPECT_EQ(sent, bytes) << size;
    ddsi_serdata_unref(sample);
  }
  ddsi_sertype_unref(type);

  // A cloud ends with one byte (is_dense) after a 4-byte boundary.
  const sensor_msgs::msg::PointCloud2 cloud;
  auto padded = encode(codec_samples::members<decltype(cloud)>(), &cloud);
  ASSERT_EQ(padded.size() % 4, 1u);
  for (int pad = 1; pad <= 3; ++pad) {
    padded.push_back(0);
    EXPECT_EQ(decode_error(codec_samples::members<decltype(cloud)>(), padded), "") << pad;
  }
}

}  // namespace
