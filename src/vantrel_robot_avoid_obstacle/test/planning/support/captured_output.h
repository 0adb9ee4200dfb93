#pragma once

#include <string>

#include <gtest/gtest.h>

// Runs `call` with standard output captured and returns what it printed. Keep assertions out of `call`:
// their messages would be captured too.
template <typename Call>
std::string capturedOutput(Call&& call) {
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}
