#include "node/motion_request_checks.h"

#include <algorithm>
#include <cmath>

#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/link_model.h"

namespace {
constexpr double kQuaternionNormTolerance = 1e-3;
}  // namespace

bool allFinite(const std::vector<double>& values) {
  return std::all_of(values.begin(), values.end(), [](double value) { return std::isfinite(value); });
}

bool withinJointLimits(const std::vector<double>& joints, const std::vector<std::pair<double, double>>& limits) {
  if (joints.size() != limits.size()) return false;
  for (size_t j = 0; j < joints.size(); ++j) {
    if (!(joints[j] >= limits[j].first && joints[j] <= limits[j].second)) return false;
  }
  return true;
}

bool atJoints(const std::vector<double>& current, const std::vector<double>& goal, double tolerance) {
  if (current.size() != goal.size()) return false;
  for (size_t j = 0; j < goal.size(); ++j) {
    if (!(std::fabs(goal[j] - current[j]) <= tolerance)) return false;
  }
  return true;
}

bool normaliseToolPose(std::array<double, 7>& pose) {
  if (!allFinite({pose.begin(), pose.end()})) return false;
  const double norm = std::sqrt(pose[3] * pose[3] + pose[4] * pose[4] + pose[5] * pose[5] + pose[6] * pose[6]);
  if (!(std::fabs(norm - 1.0) <= kQuaternionNormTolerance)) return false;
  for (int i = 3; i < 7; ++i) pose[i] /= norm;
  return true;
}

double armReachBound(const robot_model::core::JointModelGroup& group, const Eigen::Matrix4d& tool_matrix) {
  // Every link of the group hangs below the parent link of the group's root joint.
  const robot_model::core::LinkModel* base = group.getCommonRoot()->getParentLinkModel();
  double chain = 0.0;
  for (const robot_model::core::LinkModel* link : group.getLinkModels()) {
    chain = std::max(chain, robot_model::core::chainLength(link, base));
  }
  return chain + tool_matrix.topRightCorner<3, 1>().norm();
}

bool normaliseGrabRequest(Pose7& target_pose, Pose7& obb_pose, const std::array<double, 3>& obb_size,
                          double longest_edge) {
  const bool size_valid = std::all_of(obb_size.begin(), obb_size.end(), [longest_edge](double edge) {
    return std::isfinite(edge) && edge >= 0.0 && edge <= longest_edge;
  });
  return size_valid && normaliseToolPose(target_pose) && normaliseToolPose(obb_pose);
}
