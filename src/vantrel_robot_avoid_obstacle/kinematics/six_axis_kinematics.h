#pragma once

#include "kinematics/kinematics_interface.h"

#include <array>

// Six-axis arm with the MDH twist sequence (0, pi/2, 0, pi/2, -pi/2, pi/2): a base yaw with a lateral
// shoulder offset, two parallel pitch joints and a spherical wrist. Works on standard DH values
// converted from the MDH ones. armType flags (1 = set): [0] shoulder, [1] elbow, [2] wrist.
// Inverse kinematics codes: 0 solved, 1001 overhead singularity, 1002 elbow singularity,
// 1003 wrist singularity, 1004 cos theta5 out of range, 1005 no joint 6 near the reference,
// 1006 a non-finite pose or result; -1 when no configuration solves.
class SixAxisKinematics : public KinematicsInterface
{
public:
  SixAxisKinematics();

  int init(std::vector<double> zds, std::vector<double> xas, std::vector<double> alphas,
           std::vector<double> qzeros) override;
  Eigen::MatrixXd forwardKinematics(std::vector<double> q) const override;
  int inverseKinematicsByReference(const Eigen::MatrixXd& pose, std::vector<double> reference,
                                   std::vector<double>& q) const override;
  int inverseKinematicsForArmType(const Eigen::MatrixXd& pose, const int armType[3],
                                  std::vector<double>& q) const override;
  int inverseKinematics(const Eigen::MatrixXd& pose, std::vector<double>& q) const override;
  int inverseKinematicsAllArmTypes(const Eigen::MatrixXd& pose,
                                   std::vector<std::vector<double>>& solutions) const override;

private:
  using Joints = std::array<double, 6>;

  struct Configuration
  {
    bool shoulder;
    bool elbow;
    bool wrist;
  };

  // The closed form for one configuration; the pose must have passed isFinitePose.
  // reference_j6 non-null picks joint 6 within pi of it (by-reference form).
  int solve(const Eigen::MatrixXd& pose, Configuration configuration, const double* reference_j6,
            Joints& q) const;
  // Solutions of all eight configurations in configuration order, each printed as a "q:" line.
  int collectSolutions(const Eigen::MatrixXd& pose, std::array<Joints, 8>& candidates) const;

  double overhead_tolerance_ = 0.0025;
  double j3_tolerance_ = 0.0004;
  double j5_tolerance_ = 0.0005;
  std::array<double, 6> cos_alpha_{};
  std::array<double, 6> sin_alpha_{};
  std::array<double, 6> theta_offsets_;
  std::array<double, 6> joint_offsets_{};
};
