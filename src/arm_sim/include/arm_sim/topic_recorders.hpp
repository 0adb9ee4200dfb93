// Records what the node publishes, for tests and for the main job's report.
#ifndef ARM_SIM__TOPIC_RECORDERS_HPP_
#define ARM_SIM__TOPIC_RECORDERS_HPP_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "std_msgs/msg/bool.hpp"
#include "std_msgs/msg/string.hpp"
#include "tf2_msgs/msg/tf_message.hpp"
#include "visualization_msgs/msg/marker.hpp"

namespace arm_sim
{

// Keeps the last `kept` messages of one topic (all of them with 0) and counts every one.
// Reading is safe while another thread spins the node.
template<typename MessageT>
class TopicRecorder
{
public:
  TopicRecorder(
    const rclcpp::Node::SharedPtr & node, const std::string & topic, const rclcpp::QoS & qos,
    size_t kept = 0)
  : kept_(kept),
    subscription_(node->create_subscription<MessageT>(topic, qos,
      [this](std::shared_ptr<const MessageT> message) {record(std::move(message));}))
  {
  }

  std::vector<std::shared_ptr<const MessageT>> messages() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return {messages_.begin(), messages_.end()};
  }

  size_t count() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }

  // True once `count` messages have arrived in all.
  bool waitForCount(size_t count, std::chrono::milliseconds timeout) const
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, timeout, [this, count] {return count_ >= count;});
  }

private:
  void record(std::shared_ptr<const MessageT> message)
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(std::move(message));
      if (kept_ != 0 && messages_.size() > kept_) {
        messages_.pop_front();
      }
      ++count_;
    }
    arrived_.notify_all();
  }

  const size_t kept_;
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::deque<std::shared_ptr<const MessageT>> messages_;
  size_t count_ = 0;
  // Last: its callback uses everything above.
  const std::shared_ptr<rclcpp::Subscription<MessageT>> subscription_;
};

// One recorder per topic the node publishes, with a quality of service that matches it.
// Obstacle clouds can be large: only the last `kept_clouds` are kept.
struct NodeOutputRecorders
{
  explicit NodeOutputRecorders(const rclcpp::Node::SharedPtr & node, size_t kept_clouds = 10)
  : obstacle_cloud(node, "/obstacle_pointcloud", rclcpp::QoS(10), kept_clouds),
    robot_description(node, "/robot_description", rclcpp::QoS(1).transient_local(), 1),
    tf(node, "/tf", rclcpp::QoS(100)),
    markers(node, "visualization_marker", rclcpp::QoS(10)),
    collision_enable(node, "/robot/collision_enable_topic", rclcpp::QoS(1))
  {
  }

  TopicRecorder<sensor_msgs::msg::PointCloud2> obstacle_cloud;
  TopicRecorder<std_msgs::msg::String> robot_description;
  TopicRecorder<tf2_msgs::msg::TFMessage> tf;
  TopicRecorder<visualization_msgs::msg::Marker> markers;
  TopicRecorder<std_msgs::msg::Bool> collision_enable;
};

}  // namespace arm_sim

#endif  // ARM_SIM__TOPIC_RECORDERS_HPP_
