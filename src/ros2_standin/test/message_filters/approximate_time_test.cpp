// Approximate-time synchronisation of two and three camera streams fed to the policy (the node's
// camera tests run it through filter subscribers).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "message_filters/sync_policies/approximate_time.h"
#include "rclcpp/time.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"

namespace
{

using sensor_msgs::msg::PointCloud2;

// One matched set, each message named "<camera>@<stamp in ms>".
using Set = std::vector<std::string>;
// One stamped message per (camera, seconds).
using Messages = std::vector<std::pair<int, double>>;

std::string label(const std::shared_ptr<const PointCloud2> & message)
{
  const rclcpp::Time stamp(message->header.stamp);
  return message->header.frame_id + "@" + std::to_string(stamp.nanoseconds() / 1000000);
}

// Feeds the messages, in order, to a policy over as many streams as `Is` counts, with a maximum
// interval of 5 s, and returns the sets it delivers.
template<size_t... Is>
std::vector<Set> synchronise(uint32_t queue_size, const Messages & messages, std::index_sequence<Is...>)
{
  using Policy = message_filters::sync_policies::ApproximateTime<decltype(Is, PointCloud2())...>;
  std::vector<Set> sets;
  Policy policy(queue_size);
  policy.setMaxIntervalDuration(rclcpp::Duration(5, 0));
  policy.registerCallback([&sets](const auto &... set) {sets.push_back({label(set)...});});
  for (const auto & [camera, seconds] : messages) {
    auto message = std::make_shared<PointCloud2>();
    message->header.frame_id = "cam" + std::to_string(camera + 1);
    message->header.stamp = rclcpp::Time(std::llround(seconds * 1e9), RCL_ROS_TIME);
    ((camera == static_cast<int>(Is) ? policy.template add<Is>(message) : void()), ...);
  }
  return sets;
}

// Each row: the stream count and queue size, the messages (camera, stamp in s) in the order they
// come, and the sets that result.
TEST(ApproximateTime, SetsWithinTheIntervalInStreamOrder)
{
  struct Case
  {
    const char * what;
    int streams;
    uint32_t queue_size;
    Messages messages;
    std::vector<Set> sets;
  };
  const Case cases[] = {
    {"too far apart: the older is dropped, the newer waits", 2, 10,
      {{0, 0.0}, {1, 10.0}, {0, 11.0}, {1, 20.0}}, {{"cam1@11000", "cam2@10000"}}},
    {"a message stamped before the epoch is dropped with a message", 2, 10,
      {{0, -0.5}, {0, 1.0}, {1, 1.0}}, {{"cam1@1000", "cam2@1000"}}},
    {"each queue holds at most queue_size: cam1@1 is gone when cam2@1 comes", 2, 3,
      {{0, 1.0}, {0, 2.0}, {0, 3.0}, {0, 4.0}, {0, 5.0}, {1, 1.0}, {1, 3.0}}, {{"cam1@3000", "cam2@3000"}}},
    {"sets wait for proof that they are the best and follow in stamp order", 2, 10,
      {{0, 0.01}, {1, 0.02}, {0, 1.01}, {1, 1.02}, {0, 2.01}, {1, 2.02}},
      {{"cam1@10", "cam2@20"}, {"cam1@1010", "cam2@1020"}}},
    {"close stamps form one set in stream order, whatever order they come in", 3, 10,
      {{2, 3.0}, {0, 3.0}, {1, 3.0}}, {{"cam1@3000", "cam2@3000", "cam3@3000"}}},
    {"a stream too far behind loses its message", 3, 10,
      {{0, 4.0}, {1, 12.0}, {2, 12.5}, {0, 12.2}, {0, 24.0}, {1, 24.0}, {2, 24.0}},
      {{"cam1@12200", "cam2@12000", "cam3@12500"}, {"cam1@24000", "cam2@24000", "cam3@24000"}}},
  };
  for (const auto & c : cases) {
    testing::internal::CaptureStderr();
    std::vector<Set> sets;
    EXPECT_NO_THROW(sets = c.streams == 2 ? synchronise(c.queue_size, c.messages, std::make_index_sequence<2>()) :
      synchronise(c.queue_size, c.messages, std::make_index_sequence<3>()));
    const bool warned = !testing::internal::GetCapturedStderr().empty();
    EXPECT_EQ(warned, c.messages[0].second < 0.0) << c.what;
    EXPECT_EQ(sets, c.sets) << c.what;
  }
}

}  // namespace
