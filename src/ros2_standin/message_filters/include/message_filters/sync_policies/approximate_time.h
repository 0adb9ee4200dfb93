// Approximate-time synchronisation policy for two to nine message streams.
#ifndef MESSAGE_FILTERS__SYNC_POLICIES__APPROXIMATE_TIME_H_
#define MESSAGE_FILTERS__SYNC_POLICIES__APPROXIMATE_TIME_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <tuple>
#include <utility>

#include "message_filters/connection.h"
#include "message_filters/detail/approximate_time_matcher.hpp"
#include "message_filters/signal.h"
#include "rclcpp/duration.hpp"
#include "rclcpp/time.hpp"

namespace message_filters
{
namespace sync_policies
{

// Matches messages by their header stamps. Each stream keeps at most `queue_size` messages;
// sets wider than the maximum interval (unlimited by default) are never delivered.
template<typename... Ms>
class ApproximateTime
{
  static_assert(sizeof...(Ms) >= 2 && sizeof...(Ms) <= 9, "two to nine streams");

public:
  using Messages = std::tuple<Ms...>;
  static constexpr size_t kStreamCount = sizeof...(Ms);

  explicit ApproximateTime(uint32_t queue_size)
  : matcher_(sizeof...(Ms), queue_size) {}

  // A copy takes the settings, not the registered callbacks.
  ApproximateTime(const ApproximateTime & other)
  : matcher_(other.matcher_) {}
  ApproximateTime & operator=(const ApproximateTime &) = delete;

  void setMaxIntervalDuration(const rclcpp::Duration & max_interval_duration)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    matcher_.set_max_interval(max_interval_duration);
  }

  // The callback receives one `const std::shared_ptr<const M> &` per stream, in stream order.
  template<typename C>
  Connection registerCallback(C && callback)
  {
    return signal_.addCallback(std::forward<C>(callback));
  }

  // Feeds message `I`'s stream. Matched sets go out on the calling thread. A message stamped
  // before the epoch is dropped with a message on the console.
  template<size_t I>
  void add(const std::shared_ptr<const std::tuple_element_t<I, Messages>> & message)
  {
    if (!detail::ApproximateTimeMatcher::accepts_stamp(I, message->header.stamp)) {
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    matcher_.add(I, rclcpp::Time(message->header.stamp), message,
      [this](const detail::ApproximateTimeMatcher::Set & set) {
        emit(set, std::index_sequence_for<Ms...>());
      });
  }

private:
  template<size_t... Is>
  void emit(const detail::ApproximateTimeMatcher::Set & set, std::index_sequence<Is...>)
  {
    signal_.call(std::static_pointer_cast<const Ms>(set[Is])...);
  }

  std::mutex mutex_;
  detail::ApproximateTimeMatcher matcher_;
  Signal<std::shared_ptr<const Ms>...> signal_;
};

}  // namespace sync_policies
}  // namespace message_filters

#endif  // MESSAGE_FILTERS__SYNC_POLICIES__APPROXIMATE_TIME_H_
