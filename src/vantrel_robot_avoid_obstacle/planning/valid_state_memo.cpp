#include "planning/valid_state_memo.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Spreads every input bit over the whole word, so neighbouring joint values land in unrelated slots.
std::uint64_t mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return h;
}

}  // namespace

void ValidStateMemo::resize(std::size_t value_count, std::size_t capacity) {
  std::size_t slot_count = 1;
  while (slot_count < 2 * capacity) slot_count *= 2;
  value_count_ = value_count;
  mask_ = slot_count - 1;
  most_held_ = slot_count / 2;
  taken_.assign(slot_count, 0);
  keys_.assign(slot_count * value_count, 0);
  held_ = 0;
}

void ValidStateMemo::clear() {
  if (held_ == 0) return;
  std::fill(taken_.begin(), taken_.end(), 0);
  held_ = 0;
}

bool ValidStateMemo::contains(const double* state) const {
  return held_ > 0 && taken_[slotOf(state)] != 0;
}

void ValidStateMemo::insert(const double* state) {
  if (taken_.empty()) return;
  std::size_t slot = slotOf(state);
  if (taken_[slot] != 0) return;
  if (held_ >= most_held_) {
    clear();
    slot = slotOf(state);
  }
  for (std::size_t i = 0; i < value_count_; ++i) keys_[slot * value_count_ + i] = bitsOf(state[i]);
  taken_[slot] = 1;
  ++held_;
}

std::size_t ValidStateMemo::slotOf(const double* state) const {
  std::uint64_t h = 0;
  for (std::size_t i = 0; i < value_count_; ++i) h = mix(h ^ bitsOf(state[i]));
  // Linear probing ends at an empty slot: at most half of them are taken.
  std::size_t slot = static_cast<std::size_t>(h) & mask_;
  while (taken_[slot] != 0 && !slotHolds(slot, state)) slot = (slot + 1) & mask_;
  return slot;
}

bool ValidStateMemo::slotHolds(std::size_t slot, const double* state) const {
  const std::uint64_t* key = &keys_[slot * value_count_];
  for (std::size_t i = 0; i < value_count_; ++i) {
    if (key[i] != bitsOf(state[i])) return false;
  }
  return true;
}
