#include "planning/microsecond_clock.h"

#include <sys/time.h>

std::int64_t wallClockMicroseconds() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_usec;
}
