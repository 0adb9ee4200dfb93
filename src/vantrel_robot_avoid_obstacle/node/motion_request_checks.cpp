#include "node/motion_request_checks.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kQuaternionNormTolerance = 1e-3;
}  // namespace

bool allFinite(const std::vector<double>& values) {
  return std::all_of(values.begin(), values.end(), [](double value) { return std::isfinite(value); });
}

bool normaliseToolPose(std::array<double, 7>& pose) {
  if (!allFinite({pose.begin(), pose.end()})) return false;
  const double norm = std::sqrt(pose[3] * pose[3] + pose[4] * pose[4] + pose[5] * pose[5] + pose[6] * pose[6]);
  if (!(std::fabs(norm - 1.0) <= kQuaternionNormTolerance)) return false;
  for (int i = 3; i < 7; ++i) pose[i] /= norm;
  return true;
}
