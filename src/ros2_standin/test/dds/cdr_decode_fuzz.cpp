// Fuzzes the sample decoder: the first byte picks the type (and whether a request header leads),
// the rest is the sample. Whatever decodes must encode to a sample that decodes to the same
// encoding again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec_samples.hpp"
#include "dds_transport/cdr_codec.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"

namespace
{

using rosidl_typesupport_introspection_cpp::MessageMembers;

const MessageMembers & pick(uint8_t selector)
{
  using Follow = control_msgs::action::FollowJointTrajectory;
  switch (selector % 8) {
    case 0: return codec_samples::members<sensor_msgs::msg::JointState>();
    case 1: return codec_samples::members<sensor_msgs::msg::PointCloud2>();
    case 2: return codec_samples::members<visualization_msgs::msg::Marker>();
    case 3: return codec_samples::members<Follow::Goal>();
    case 4: return codec_samples::members<Follow::Result>();
    case 5: return codec_samples::members<Follow::Impl::SendGoalService::Request>();
    case 6: return codec_samples::members<vantrel_interfaces::srv::ArmGrab::Request>();
    default: return codec_samples::members<rcl_interfaces::msg::ParameterDescriptor>();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t * data, size_t size)
{
  if (size == 0) {
    return 0;
  }
  const MessageMembers & members = pick(data[0]);
  rclcpp::dds::RequestHeader header;
  rclcpp::dds::RequestHeader * with_header = (data[0] & 8) ? &header : nullptr;
  std::string error;
  auto message = rclcpp::dds::decode(members, data + 1, size - 1, with_header, error);
  if (!message) {
    return 0;
  }
  const auto encoded = rclcpp::dds::encode(members, message.get(), with_header);
  auto again = rclcpp::dds::decode(members, encoded.data(), encoded.size(), with_header, error);
  if (!again || rclcpp::dds::encode(members, again.get(), with_header) != encoded) {
    std::abort();
  }
  return 0;
}
