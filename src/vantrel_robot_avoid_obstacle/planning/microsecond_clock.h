#pragma once

#include <cstdint>
#include <functional>

// Microseconds on some fixed origin; the planner only takes differences.
using MicrosecondClock = std::function<std::int64_t()>;

// Wall-clock microseconds since the epoch.
std::int64_t wallClockMicroseconds();
