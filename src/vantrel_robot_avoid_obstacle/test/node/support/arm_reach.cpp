#include "support/arm_reach.h"

#include <algorithm>

#include "kinematics/kinematics_interface.h"

namespace {

// Points on a solid's faces this far apart: no coarser than the finest map the tests give the node.
constexpr double kCell = 0.005;

}  // namespace

ArmReach::ArmReach(NodeRig& rig, const arm_sim::Cuboid& solid, double depth) {
  const Eigen::Vector3d inset = Eigen::Vector3d::Constant(depth);
  const arm_sim::Cuboid core{solid.min + inset, solid.max - inset};
  if ((core.max - core.min).minCoeff() < 0) return;
  core_.emplace(clearanceFrom(rig, arm_sim::sampleSurfaces({{core}}, kCell)));
}

bool ArmReach::into(const arm_sim::JointPath& path) { return core_ && !core_->firstContact(path).empty(); }

double deepestReach(NodeRig& rig, const arm_sim::Cuboid& solid, const arm_sim::JointPath& path) {
  double reached = 0.0;
  double missed = (solid.max - solid.min).minCoeff() / 2 + 0.001;
  if (!ArmReach(rig, solid, 0.0).into(path)) return 0.0;
  while (missed - reached > 0.001) {
    const double middle = (reached + missed) / 2;
    (ArmReach(rig, solid, middle).into(path) ? reached : missed) = middle;
  }
  return reached;
}

double lowestArmPoint(NodeRig& rig, const std::vector<double>& q, const Eigen::Vector3d& near) {
  const auto reachesBelow = [&](double z) {
    const arm_sim::Cuboid slab{{near.x() - 0.2, near.y() - 0.2, z - 0.05}, {near.x() + 0.2, near.y() + 0.2, z}};
    return ArmReach(rig, slab, 0.0).into({q});
  };
  double below = near.z() - 0.5;
  double above = near.z() + 0.5;
  while (above - below > 0.001) {
    const double middle = (below + above) / 2;
    (reachesBelow(middle) ? above : below) = middle;
  }
  return above;
}

Eigen::Isometry3d toolAt(NodeRig& rig, const std::vector<double>& q) {
  const auto& kinematics = *Access::scene(rig.node()).getPlanningGroup()->kinematics_interface_ptr_;
  return Eigen::Isometry3d(Eigen::Matrix4d(kinematics.forwardKinematics(q) * Access::toolMatrix(rig.node())));
}

namespace {

// Damped least squares on the tool point and the tool axis's direction from `q`, the Jacobian by differences; true
// when the arm gets within a tenth of a millimetre.
bool solveForTool(NodeRig& rig, const Eigen::Vector3d& point, const Eigen::Vector3d& axis, std::vector<double>& q) {
  const auto error = [&](const std::vector<double>& at) {
    const Eigen::Isometry3d tool = toolAt(rig, at);
    Eigen::Matrix<double, 6, 1> e;
    e << tool.translation() - point, tool.linear().col(2).cross(axis);
    return e;
  };
  const size_t n = q.size();
  for (int iteration = 0; iteration < 200; ++iteration) {
    const Eigen::Matrix<double, 6, 1> e = error(q);
    if (e.norm() < 1e-7) break;
    Eigen::MatrixXd jacobian(6, n);
    for (size_t j = 0; j < n; ++j) {
      std::vector<double> nudged = q;
      nudged[j] += 1e-6;
      jacobian.col(j) = (error(nudged) - e) / 1e-6;
    }
    const Eigen::MatrixXd damped = jacobian * jacobian.transpose() + 1e-6 * Eigen::MatrixXd::Identity(6, 6);
    const Eigen::VectorXd step = -jacobian.transpose() * damped.ldlt().solve(e);
    for (size_t j = 0; j < n; ++j) {
      const arm_sim::JointLimits& limits = rig.joints().limits[j];
      q[j] = std::clamp(q[j] + std::clamp(step(j), -0.2, 0.2), limits.lower, limits.upper);
    }
  }
  const Eigen::Isometry3d tool = toolAt(rig, q);
  return (tool.translation() - point).norm() < 1e-4 && tool.linear().col(2).dot(axis) > 0.9999;
}

}  // namespace

std::vector<double> jointsForTool(NodeRig& rig, const Eigen::Vector3d& point, const Eigen::Vector3d& axis,
                                  std::vector<double> seed) {
  // From the seed, else from the shoulder and the elbow bent either way: the solver keeps to the branch it starts in.
  std::vector<std::vector<double>> starts{std::move(seed)};
  for (double shoulder : {-1.0, 0.0, 1.0}) {
    for (double elbow : {-1.0, 1.0}) {
      std::vector<double> start(starts.front().size(), 0.0);
      start[1] = shoulder;
      start[2] = elbow;
      starts.push_back(std::move(start));
    }
  }
  for (std::vector<double>& q : starts) {
    if (solveForTool(rig, point, axis.normalized(), q)) return q;
  }
  return {};
}
