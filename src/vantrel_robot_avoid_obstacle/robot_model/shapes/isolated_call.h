#pragma once

// Running third-party code that may crash, hang, leak or ask for all memory on hostile input in a child process.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace shapes
{
struct IsolatedCallLimits
{
  std::chrono::milliseconds time;
  std::size_t output_bytes;
  std::size_t memory_bytes;  // address space the child may add; not enforced under sanitizers, which reserve more
};

struct IsolatedCallResult
{
  std::vector<char> output;
  std::string failure;  // empty when the child ran to its end
};

// Runs produce in a forked child and returns what it produced; the child's end (crash, time or size limit,
// exception) is described in failure instead. Nothing produce does in the child outlives it.
IsolatedCallResult callIsolated(const std::function<std::vector<char>()>& produce, const IsolatedCallLimits& limits);
}  // namespace shapes
