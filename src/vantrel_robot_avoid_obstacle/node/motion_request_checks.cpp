#include "node/motion_request_checks.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kQuaternionNormTolerance = 1e-3;
constexpr double kFullTurn = 2.0 * M_PI;
// In turns: how far a shifted joint may lie past a limit from rounding alone.
constexpr double kTurnRounding = 1e-12;
constexpr double kMaxTurnedMagnitude = 1e6;
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
    if (!std::isfinite(lower) || !std::isfinite(upper) || (joint >= lower && joint <= upper)) continue;
    // Beyond that, whole turns no longer shift a value exactly.
    if (!(std::fabs(joint) < kMaxTurnedMagnitude)) continue;
    // The representations within the limits run from `first` to `last` in whole turns; a turn that lands on
    // a limit up to rounding counts as within.
    const double first = joint + std::ceil((lower - joint) / kFullTurn - kTurnRounding) * kFullTurn;
    const double last = joint + std::floor((upper - joint) / kFullTurn + kTurnRounding) * kFullTurn;
    if (first > last + kTurnRounding) continue;
    const double target = j < reference.size() && std::isfinite(reference[j]) ? reference[j] : joint;
    const double turns =
        std::clamp(std::round((target - first) / kFullTurn), 0.0, std::round((last - first) / kFullTurn));
    joints[j] = std::clamp(first + turns * kFullTurn, lower, upper);
  }
}
