#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <cstdio>

#include "robot_model/core/robot_model.h"

namespace rao_test {

// Description directories of the committed test arms (absolute, ending with "/").
std::string arm6Directory();
std::string arm5Directory();
extern const char* const kArm6Urdf;
extern const char* const kArm6Srdf;
extern const char* const kArm5Urdf;
extern const char* const kArm5Srdf;

std::string readFile(const std::string& path);
void replaceOnce(std::string& text, const std::string& from, const std::string& to);

// The arm6 model, built once per test binary.
std::shared_ptr<const robot_model::core::RobotModel> arm6Model();

// A model built with standard output captured into *printed (when given).
std::shared_ptr<const robot_model::core::RobotModel> buildModel(const std::string& directory, const char* urdf,
                                                                const char* srdf, std::string* printed = nullptr);

// A copy of the arm6 description in a fresh temporary directory (removed again on destruction);
// tests edit its URDF or SRDF text before building a model from it.
class TempDescription {
 public:
  TempDescription();
  ~TempDescription();
  TempDescription(const TempDescription&) = delete;
  TempDescription& operator=(const TempDescription&) = delete;

  const std::string& directory() const { return directory_; }
  std::string urdf;
  std::string srdf;
  void write() const;
  // Writes the texts, then builds as buildModel does.
  std::shared_ptr<const robot_model::core::RobotModel> build(std::string* printed = nullptr) const;

 private:
  std::string directory_;
};

// Runs f with standard output captured and returns what it printed; an exception ends the capture.
template <typename F>
std::string captureStdout(F&& f) {
  fflush(stdout);
  testing::internal::CaptureStdout();
  try {
    f();
  } catch (...) {
    testing::internal::GetCapturedStdout();
    throw;
  }
  fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

}  // namespace rao_test
