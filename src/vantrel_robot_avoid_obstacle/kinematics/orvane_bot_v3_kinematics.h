#pragma once

#include "kinematics/kinematics_interface.h"

#include <array>

// Five-axis arm with the MDH twist sequence (0, pi/2, 0, 0, -pi/2): a base yaw, three parallel
// pitch joints and a tool roll. Works directly on the MDH values. armType flags (1 = set):
// [0] base, [1] elbow. Inverse kinematics codes: 0 solved, -1 elbow singularity or no single
// solution, -10 a non-finite pose or result, -11 a result whose forward kinematics misses the
// pose (the pose is out of this arm's reach or orientations).
class OrvaneBotV3Kinematics : public KinematicsInterface
{
public:
  OrvaneBotV3Kinematics();

  int init(std::vector<double> zds, std::vector<double> xas, std::vector<double> alphas,
           std::vector<double> qzeros) override;
  Eigen::MatrixXd forwardKinematics(std::vector<double> q) const override;
  // No rule picks one of the configurations for this arm: both report -1 and leave q alone.
  // Use inverseKinematicsAllArmTypes.
  int inverseKinematicsByReference(const Eigen::MatrixXd& pose, std::vector<double> reference,
                                   std::vector<double>& q) const override;
  int inverseKinematics(const Eigen::MatrixXd& pose, std::vector<double>& q) const override;
  int inverseKinematicsForArmType(const Eigen::MatrixXd& pose, const int armType[3],
                                  std::vector<double>& q) const override;
  // Always 0; the list holds the solvable configurations, possibly none.
  int inverseKinematicsAllArmTypes(const Eigen::MatrixXd& pose,
                                   std::vector<std::vector<double>>& solutions) const override;

private:
  using Joints = std::array<double, 5>;

  FlangePose flange(const double* q) const;
  // The closed form for one configuration; the pose must have passed isFinitePose.
  int solve(const Eigen::MatrixXd& pose, int base_flag, int elbow_flag, Joints& q) const;

  std::array<double, 5> cos_alpha_{};
  std::array<double, 5> sin_alpha_{};
  double j3_tolerance_ = 0.0004;
  std::array<double, 5> theta_offsets_;
  std::array<double, 5> joint_offsets_{};
};
