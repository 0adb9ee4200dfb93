#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "robot_model/core/robot_model.h"
#include "test/support/arm_descriptions.h"

namespace rao_test {

using namespace arm_descriptions;
using ModelPtr = std::shared_ptr<const robot_model::core::RobotModel>;

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

// A model built with standard output captured into *printed (when given).
inline ModelPtr buildModel(const std::string& directory, const char* urdf, const char* srdf,
                           std::string* printed = nullptr) {
  ModelPtr model;
  const std::string out =
      captureStdout([&] { model = std::make_shared<const robot_model::core::RobotModel>(directory, urdf, srdf); });
  if (printed) *printed = out;
  return model;
}

// The arm6 and arm5 models, each built once per test binary.
inline ModelPtr arm6Model() {
  static const ModelPtr model = buildModel(kArm6Dir, kArm6Urdf, kArm6Srdf);
  return model;
}
inline ModelPtr arm5Model() {
  static const ModelPtr model = buildModel(kArm5Dir, kArm5Urdf, kArm5Srdf);
  return model;
}

inline void replaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::runtime_error("fixture text not found: " + from);
  text.replace(at, from.size(), to);
}

// A copy of the arm6 description in a fresh temporary directory (removed again on destruction); tests edit its URDF
// or SRDF text before building a model from it.
class TempDescription {
 public:
  TempDescription() : urdf(readFile(kArm6Dir + kArm6Urdf)), srdf(readFile(kArm6Dir + kArm6Srdf)) {
    std::string pattern = (std::filesystem::temp_directory_path() / "rao_description_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    directory_ = pattern + "/";
    std::filesystem::create_directories(directory_ + "urdf");
    std::filesystem::create_directories(directory_ + "srdf");
    std::filesystem::copy(kArm6Dir + "meshes", directory_ + "meshes");
  }
  ~TempDescription() {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
  TempDescription(const TempDescription&) = delete;
  TempDescription& operator=(const TempDescription&) = delete;

  const std::string& directory() const { return directory_; }
  void write() const {
    std::ofstream(directory_ + kArm6Urdf, std::ios::binary) << urdf;
    std::ofstream(directory_ + kArm6Srdf, std::ios::binary) << srdf;
  }
  // Writes the texts, then builds as buildModel does.
  ModelPtr build(std::string* printed = nullptr) const {
    write();
    return buildModel(directory_, kArm6Urdf, kArm6Srdf, printed);
  }

  std::string urdf;
  std::string srdf;

 private:
  std::string directory_;
};

}  // namespace rao_test
