#pragma once

#include <optional>
#include <vector>

#include <Eigen/Geometry>

#include "node_rig.h"

// Judged apart from the node's checks: the bare arm's collision bodies against a solid of the scene shrunk by
// `depth` on every side, so that whatever touches it reaches at least that deep into the solid.
class ArmReach {
 public:
  ArmReach(NodeRig& rig, const arm_sim::Cuboid& solid, double depth);
  // At the path's first configuration or at any sample of its segments.
  bool into(const arm_sim::JointPath& path);

 private:
  std::optional<arm_sim::PathClearance> core_;
};

// How far inside the solid, from its nearest face, the bare arm's deepest point lies along the path, to a millimetre
// (at most half the solid's thinnest edge): for the failure messages.
double deepestReach(NodeRig& rig, const arm_sim::Cuboid& solid, const arm_sim::JointPath& path);

// The lowest point of the bare arm at `q` within 20 cm of `near` horizontally, to a millimetre.
double lowestArmPoint(NodeRig& rig, const std::vector<double>& q, const Eigen::Vector3d& near);

// The tool pose at `q`.
Eigen::Isometry3d toolAt(NodeRig& rig, const std::vector<double>& q);

// Joints, found from `seed` or else from the shoulder and the elbow bent either way, that put the tool point at
// `point` with the tool's z axis along `axis`, turned about it as the arm will; empty when the arm gets no nearer than
// a tenth of a millimetre.
std::vector<double> jointsForTool(NodeRig& rig, const Eigen::Vector3d& point, const Eigen::Vector3d& axis,
                                  std::vector<double> seed);
