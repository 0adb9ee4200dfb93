// Fuzz entry point of the approximate-time synchroniser: two or three streams fed arbitrary
// stamps (before the epoch, out of order, equal, far apart) with arbitrary queue sizes and
// maximum intervals. Every set holds one message per stream in stream order, spans no more than
// the maximum interval, and takes from each stream only messages newer than its last set's.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "message_filters/sync_policies/approximate_time.h"
#include "rclcpp/duration.hpp"
#include "rclcpp/time.hpp"
#include "sensor_msgs/msg/image.hpp"

#include "byte_reader.hpp"

namespace
{

using sensor_msgs::msg::Image;
using ImagePtr = std::shared_ptr<const Image>;

void require(bool condition)
{
  if (!condition) {
    std::abort();
  }
}

// A message carries its stream in `height` and its place in the stream in `width`.
template<typename Policy, size_t... Is>
void feed(ByteReader & input, std::index_sequence<Is...>)
{
  Policy policy(input.take<std::uint8_t>() % 8 + 1);
  rclcpp::Duration max_interval = rclcpp::Duration::max();
  if (input.take<std::uint8_t>() & 1) {
    max_interval = rclcpp::Duration::from_nanoseconds(input.take<int64_t>());
    policy.setMaxIntervalDuration(max_interval);
  }
  std::vector<int64_t> last_taken(sizeof...(Is), -1);
  policy.registerCallback([&](const auto &... messages) {
      const ImagePtr set[] = {messages...};
      int64_t earliest = INT64_MAX;
      int64_t latest = INT64_MIN;
      for (size_t stream = 0; stream < sizeof...(Is); ++stream) {
        require(set[stream] && set[stream]->height == stream);
        require(static_cast<int64_t>(set[stream]->width) > last_taken[stream]);
        last_taken[stream] = set[stream]->width;
        const int64_t stamp = rclcpp::Time(set[stream]->header.stamp).nanoseconds();
        earliest = std::min(earliest, stamp);
        latest = std::max(latest, stamp);
      }
      require(latest - earliest <= max_interval.nanoseconds());
    });
  std::vector<uint32_t> sent(sizeof...(Is), 0);
  while (!input.empty()) {
    const size_t stream = input.take<std::uint8_t>() % sizeof...(Is);
    auto message = std::make_shared<Image>();
    message->height = static_cast<uint32_t>(stream);
    message->width = sent[stream]++;
    message->header.stamp.sec = input.take<int32_t>();
    message->header.stamp.nanosec = input.take<uint32_t>();
    ((Is == stream ? policy.template add<Is>(message) : void()), ...);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  ByteReader input(data, size);
  if (input.take<std::uint8_t>() & 1) {
    feed<message_filters::sync_policies::ApproximateTime<Image, Image, Image>>(
      input, std::make_index_sequence<3>());
  } else {
    feed<message_filters::sync_policies::ApproximateTime<Image, Image>>(
      input, std::make_index_sequence<2>());
  }
  return 0;
}
