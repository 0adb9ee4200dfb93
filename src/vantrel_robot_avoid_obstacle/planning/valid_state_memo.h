#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The states found valid so far, keyed by the exact bits of their joint values: a bounded open-addressing
// set whose memory is all taken when it is sized, so inserting and looking up never allocate. When half
// its slots are taken it forgets everything and starts over: repeats are mostly of recent states.
class ValidStateMemo {
 public:
  // Room for `capacity` states of `value_count` joint values each; forgets everything.
  void resize(std::size_t value_count, std::size_t capacity);
  void clear();
  bool contains(const double* state) const;
  void insert(const double* state);

 private:
  // The slot holding `state`, else the empty slot where it belongs.
  std::size_t slotOf(const double* state) const;
  bool slotHolds(std::size_t slot, const double* state) const;

  std::size_t value_count_ = 0;
  std::size_t mask_ = 0;
  std::size_t held_ = 0;
  std::size_t most_held_ = 0;
  std::vector<std::uint8_t> taken_;
  std::vector<std::uint64_t> keys_;
};
