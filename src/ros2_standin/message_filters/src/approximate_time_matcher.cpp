#include "message_filters/detail/approximate_time_matcher.hpp"

#include <cstdio>
#include <utility>

namespace message_filters
{
namespace detail
{

ApproximateTimeMatcher::ApproximateTimeMatcher(size_t stream_count, uint32_t queue_size)
: queue_size_(queue_size), streams_(stream_count), max_interval_(rclcpp::Duration::max())
{
}

bool ApproximateTimeMatcher::accepts_stamp(
  size_t stream, const builtin_interfaces::msg::Time & stamp)
{
  if (stamp.sec >= 0) {
    return true;
  }
  std::fprintf(stderr,
    "[message_filters] dropped a message of stream %zu: its header stamp (%d s, %u ns) lies "
    "before the epoch\n", stream, stamp.sec, stamp.nanosec);
  return false;
}

void ApproximateTimeMatcher::add(
  size_t stream, const rclcpp::Time & stamp, std::shared_ptr<const void> message,
  const Output & output)
{
  Stream & s = streams_[stream];
  s.queue.push_back(Entry{stamp, std::move(message)});
  if (s.queue.size() == 1) {
    ++non_empty_queues_;
    if (all_queues_filled()) {
      process(output);
    }
  }
  // Matching may have left queue_size + 1 messages in this stream.
  if (s.queue.size() + s.past.size() > queue_size_) {
    // Abandon the candidate search and drop this stream's oldest message.
    non_empty_queues_ = 0;
    for (size_t i = 0; i < streams_.size(); ++i) {
      recover_all(i);
    }
    s.queue.pop_front();
    if (s.queue.empty()) {
      --non_empty_queues_;
    }
    s.has_dropped_messages = true;
    if (pivot_ != kNoPivot) {
      candidate_.clear();
      pivot_ = kNoPivot;
      process(output);
    }
  }
}

void ApproximateTimeMatcher::delete_front(size_t stream)
{
  Stream & s = streams_[stream];
  s.queue.pop_front();
  if (s.queue.empty()) {
    --non_empty_queues_;
  }
}

void ApproximateTimeMatcher::move_front_to_past(size_t stream)
{
  Stream & s = streams_[stream];
  s.past.push_back(std::move(s.queue.front()));
  s.queue.pop_front();
  if (s.queue.empty()) {
    --non_empty_queues_;
  }
}

void ApproximateTimeMatcher::make_candidate()
{
  candidate_.clear();
  for (Stream & s : streams_) {
    candidate_.push_back(s.queue.front().message);
    s.past.clear();
  }
}

void ApproximateTimeMatcher::publish_candidate(const Output & output)
{
  const Set matched = std::move(candidate_);
  candidate_.clear();
  pivot_ = kNoPivot;
  non_empty_queues_ = 0;
  for (size_t i = 0; i < streams_.size(); ++i) {
    recover_and_delete(i);
  }
  output(matched);
}

void ApproximateTimeMatcher::recover(size_t stream, size_t count)
{
  Stream & s = streams_[stream];
  for (; count > 0; --count) {
    s.queue.push_front(std::move(s.past.back()));
    s.past.pop_back();
  }
  if (!s.queue.empty()) {
    ++non_empty_queues_;
  }
}

void ApproximateTimeMatcher::recover_all(size_t stream)
{
  recover(stream, streams_[stream].past.size());
}

void ApproximateTimeMatcher::recover_and_delete(size_t stream)
{
  Stream & s = streams_[stream];
  while (!s.past.empty()) {
    s.queue.push_front(std::move(s.past.back()));
    s.past.pop_back();
  }
  s.queue.pop_front();
  if (!s.queue.empty()) {
    ++non_empty_queues_;
  }
}

void ApproximateTimeMatcher::candidate_boundary(size_t & index, rclcpp::Time & time, bool end) const
{
  index = 0;
  time = streams_[0].queue.front().stamp;
  for (size_t i = 1; i < streams_.size(); ++i) {
    const rclcpp::Time & head = streams_[i].queue.front().stamp;
    if ((head < time) ^ end) {
      time = head;
      index = i;
    }
  }
}

rclcpp::Time ApproximateTimeMatcher::virtual_time(size_t stream) const
{
  const Stream & s = streams_[stream];
  if (s.queue.empty()) {
    // The next message of this stream cannot be older than the last one; the pivot bounds it.
    const rclcpp::Time & last = s.past.back().stamp;
    return last > pivot_time_ ? last : pivot_time_;
  }
  return s.queue.front().stamp;
}

void ApproximateTimeMatcher::virtual_candidate_boundary(
  size_t & index, rclcpp::Time & time, bool end) const
{
  index = 0;
  time = virtual_time(0);
  for (size_t i = 1; i < streams_.size(); ++i) {
    const rclcpp::Time head = virtual_time(i);
    if ((head < time) ^ end) {
      time = head;
      index = i;
    }
  }
}

void ApproximateTimeMatcher::process(const Output & output)
{
  while (all_queues_filled()) {
    size_t end_index = 0;
    size_t start_index = 0;
    rclcpp::Time end_time(0, 0, RCL_ROS_TIME);
    rclcpp::Time start_time(0, 0, RCL_ROS_TIME);
    candidate_boundary(end_index, end_time, true);
    candidate_boundary(start_index, start_time, false);
    for (size_t i = 0; i < streams_.size(); ++i) {
      if (i != end_index) {
        // No dropped message could have served better than the ones at hand.
        streams_[i].has_dropped_messages = false;
      }
    }
    if (pivot_ == kNoPivot) {
      if (end_time - start_time > max_interval_ || streams_[end_index].has_dropped_messages) {
        // Too wide to be a set, or a pivot that lost messages: drop the oldest and go on.
        delete_front(start_index);
        continue;
      }
      make_candidate();
      candidate_start_ = start_time;
      candidate_end_ = end_time;
      pivot_ = end_index;
      pivot_time_ = end_time;
      move_front_to_past(start_index);
    } else {
      if ((end_time - candidate_end_) * (1 + age_penalty_) >= (start_time - candidate_start_)) {
        move_front_to_past(start_index);
      } else {
        make_candidate();
        candidate_start_ = start_time;
        candidate_end_ = end_time;
        move_front_to_past(start_index);
      }
    }
    if (start_index == pivot_) {
      // Every set around this pivot has been seen.
      publish_candidate(output);
    } else if ((end_time - candidate_end_) * (1 + age_penalty_) >= (pivot_time_ - candidate_start_)) {
      // Any later set must span [pivot, end_time], already worse than the candidate.
      publish_candidate(output);
    } else if (!all_queues_filled()) {
      // Try to prove the candidate optimal by assuming the best about the missing messages.
      std::vector<size_t> virtual_moves(streams_.size(), 0);
      for (;;) {
        size_t v_end_index = 0;
        size_t v_start_index = 0;
        rclcpp::Time v_end_time(0, 0, RCL_ROS_TIME);
        rclcpp::Time v_start_time(0, 0, RCL_ROS_TIME);
        virtual_candidate_boundary(v_end_index, v_end_time, true);
        virtual_candidate_boundary(v_start_index, v_start_time, false);
        if ((v_end_time - candidate_end_) * (1 + age_penalty_) >=
          (pivot_time_ - candidate_start_))
        {
          publish_candidate(output);
          break;
        }
        if ((v_end_time - candidate_end_) * (1 + age_penalty_) < (v_start_time - candidate_start_)) {
          // A better set may still come: undo the virtual moves and wait for messages.
          non_empty_queues_ = 0;
          for (size_t i = 0; i < streams_.size(); ++i) {
            recover(i, virtual_moves[i]);
          }
          break;
        }
        move_front_to_past(v_start_index);
        ++virtual_moves[v_start_index];
      }
    }
  }
}

}  // namespace detail
}  // namespace message_filters
