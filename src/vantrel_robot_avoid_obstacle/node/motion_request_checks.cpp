#include "node/motion_request_checks.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kQuaternionNormTolerance = 1e-3;
constexpr double kFullTurn = 2.0 * M_PI;
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

void turnJointsIntoLimits(std::vector<double>& joints, const std::vector<std::pair<double, double>>& limits,
                          const std::vector<double>& reference) {
  for (size_t j = 0; j < joints.size() && j < limits.size(); ++j) {
    const double joint = joints[j];
    const auto [lower, upper] = limits[j];
    if (!std::isfinite(joint) || !std::isfinite(lower) || !std::isfinite(upper)) continue;
    if (joint >= lower && joint <= upper) continue;
    // The representations within the limits run from `first` to `last` in whole turns.
    const double first = joint + std::ceil((lower - joint) / kFullTurn) * kFullTurn;
    const double last = joint + std::floor((upper - joint) / kFullTurn) * kFullTurn;
    if (first > upper || first < lower) continue;
    const double target = j < reference.size() && std::isfinite(reference[j]) ? reference[j] : joint;
    const double turns = std::clamp(std::round((target - first) / kFullTurn), 0.0,
                                    std::max(0.0, std::round((last - first) / kFullTurn)));
    const double best = std::min(first + turns * kFullTurn, upper);
    joints[j] = best;
  }
}
