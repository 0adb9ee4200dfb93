// The test arms as models, built once per test binary, and the capture of what model code prints.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "robot_model/core/robot_model.h"
#include "test/support/arm_descriptions.h"

namespace model_fixtures {

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

}  // namespace model_fixtures
