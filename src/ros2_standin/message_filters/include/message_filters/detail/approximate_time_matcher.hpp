// The approximate-time matching of N message streams, on time stamps and type-erased messages.
// Each stream queues its messages; a set is chosen so that the spread between its oldest and
// newest stamp is as small as possible (with a small penalty for age), and only once no later
// message could give a better set. A set whose spread exceeds the maximum interval is never
// output: its oldest message is dropped and matching goes on.
#ifndef MESSAGE_FILTERS__DETAIL__APPROXIMATE_TIME_MATCHER_HPP_
#define MESSAGE_FILTERS__DETAIL__APPROXIMATE_TIME_MATCHER_HPP_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "builtin_interfaces/msg/time.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/time.hpp"

namespace message_filters
{
namespace detail
{

class ApproximateTimeMatcher
{
public:
  using Set = std::vector<std::shared_ptr<const void>>;
  using Output = std::function<void(const Set &)>;

  ApproximateTimeMatcher(size_t stream_count, uint32_t queue_size);

  // rclcpp::Time holds nothing before the epoch: false, with a console message, for such a stamp.
  static bool accepts_stamp(size_t stream, const builtin_interfaces::msg::Time & stamp);

  void set_max_interval(const rclcpp::Duration & max_interval) {max_interval_ = max_interval;}

  // Adds one message of a stream; each matched set goes to `output`, streams in order.
  void add(size_t stream, const rclcpp::Time & stamp, std::shared_ptr<const void> message,
    const Output & output);

private:
  struct Entry
  {
    rclcpp::Time stamp;
    std::shared_ptr<const void> message;
  };
  struct Stream
  {
    std::deque<Entry> queue;
    std::vector<Entry> past;
    bool has_dropped_messages = false;
  };

  static constexpr size_t kNoPivot = static_cast<size_t>(-1);

  void process(const Output & output);
  void delete_front(size_t stream);
  void move_front_to_past(size_t stream);
  void make_candidate();
  void publish_candidate(const Output & output);
  void recover(size_t stream, size_t count);
  void recover_all(size_t stream);
  void recover_and_delete(size_t stream);
  // The earliest (end == false) or latest (end == true) head among the queues.
  void candidate_boundary(size_t & index, rclcpp::Time & time, bool end) const;
  // Like candidate_boundary, with an empty queue counting as a message at the pivot time.
  void virtual_candidate_boundary(size_t & index, rclcpp::Time & time, bool end) const;
  rclcpp::Time virtual_time(size_t stream) const;
  bool all_queues_filled() const {return non_empty_queues_ == streams_.size();}

  const uint32_t queue_size_;
  std::vector<Stream> streams_;
  size_t non_empty_queues_ = 0;
  rclcpp::Duration max_interval_;
  const double age_penalty_ = 0.1;
  Set candidate_;
  rclcpp::Time candidate_start_{0, 0, RCL_ROS_TIME};
  rclcpp::Time candidate_end_{0, 0, RCL_ROS_TIME};
  rclcpp::Time pivot_time_{0, 0, RCL_ROS_TIME};
  size_t pivot_ = kNoPivot;
};

}  // namespace detail
}  // namespace message_filters

#endif  // MESSAGE_FILTERS__DETAIL__APPROXIMATE_TIME_MATCHER_HPP_
