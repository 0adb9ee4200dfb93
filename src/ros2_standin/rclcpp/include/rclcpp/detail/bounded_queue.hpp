// What has arrived for a subscription or a service and waits for its callback. With KEEP_LAST
// history the queue holds at most the depth (at least one) and a new item pushes the oldest out,
// as a DDS reader's history does; KEEP_ALL keeps everything.
#ifndef RCLCPP__DETAIL__BOUNDED_QUEUE_HPP_
#define RCLCPP__DETAIL__BOUNDED_QUEUE_HPP_

#include <algorithm>
#include <cstddef>
#include <deque>
#include <limits>
#include <mutex>
#include <utility>

#include "rmw/types.h"

namespace rclcpp
{
namespace detail
{

template<typename T>
class BoundedQueue
{
public:
  explicit BoundedQueue(const rmw_qos_profile_t & qos)
  : capacity_(qos.history == RMW_QOS_POLICY_HISTORY_KEEP_ALL ?
      std::numeric_limits<size_t>::max() : std::max<size_t>(qos.depth, 1)) {}

  // Thread-safe.
  void push(T item)
  {
    T dropped{};  // destroyed after the lock is released
    std::lock_guard<std::mutex> lock(mutex_);
    if (items_.size() >= capacity_) {
      dropped = std::move(items_.front());
      items_.pop_front();
    }
    items_.push_back(std::move(item));
  }

  // The oldest item, taken out; false when there is none.
  bool pop(T & item)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (items_.empty()) {
      return false;
    }
    item = std::move(items_.front());
    items_.pop_front();
    return true;
  }

private:
  const size_t capacity_;
  std::mutex mutex_;
  std::deque<T> items_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__BOUNDED_QUEUE_HPP_
