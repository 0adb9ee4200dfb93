#include "planning/planner_random.h"

std::uint32_t seedFromRandomDevice() {
  std::random_device device("default");
  return device();
}

double uniformReal(std::mt19937& engine, double lo, double hi) {
  const double low_word = static_cast<double>(engine());
  const double high_word = static_cast<double>(engine());
  double u = (low_word + high_word * 4294967296.0) * 0x1p-64;
  if (u >= 1.0) {
    u = 1.0 - 0x1p-53;
  }
  return lo + u * (hi - lo);
}

int uniformInt(std::mt19937& engine, int lo, int hi) {
  const std::uint64_t range = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
  std::uint64_t product = static_cast<std::uint64_t>(engine()) * range;
  if (range <= 0xffffffffULL) {
    std::uint32_t low = static_cast<std::uint32_t>(product);
    if (low < range) {
      const std::uint32_t threshold = static_cast<std::uint32_t>((0x100000000ULL - range) % range);
      while (low < threshold) {
        product = static_cast<std::uint64_t>(engine()) * range;
        low = static_cast<std::uint32_t>(product);
      }
    }
  }
  return static_cast<int>(lo + static_cast<std::int64_t>(product >> 32));
}
