#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// The order in which a straight motion's states are tested, shared by every scene: `to` first, then the
// interior states k/n (k = 1 .. n-1) by a first-in-first-out bisection of index intervals, so a blocked
// middle is found early. `from` is never tested. The interval queue keeps its capacity between calls,
// so repeated checks do not allocate.
class MotionBisection {
 public:
  // `is_valid(const double*)` tests one state; `state_at(double fraction)` returns the interpolated
  // state at that fraction of the segment (it may reuse one scratch array).
  template <typename IsValid, typename StateAt>
  bool check(const double* to, int segment_count, IsValid&& is_valid, StateAt&& state_at) {
    if (!is_valid(to)) {
      return false;
    }
    if (segment_count <= 1) {
      return true;
    }
    queue_.clear();
    queue_.emplace_back(1, segment_count - 1);
    for (std::size_t head = 0; head < queue_.size(); ++head) {
      const std::pair<int, int> interval = queue_[head];
      const int middle = interval.first + (interval.second - interval.first) / 2;
      if (!is_valid(state_at(static_cast<double>(middle) / segment_count))) {
        return false;
      }
      if (interval.first < middle) {
        queue_.emplace_back(interval.first, middle - 1);
      }
      if (middle < interval.second) {
        queue_.emplace_back(middle + 1, interval.second);
      }
    }
    return true;
  }

 private:
  std::vector<std::pair<int, int>> queue_;
};
