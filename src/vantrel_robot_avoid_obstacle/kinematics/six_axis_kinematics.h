#pragma once

#include "kinematics/kinematics_interface.h"

#include <array>

// Six-axis arm with the MDH twist sequence (0, pi/2, 0, pi/2, -pi/2, pi/2): a base yaw with a lateral
// shoulder offset, two parallel pitch joints and a spherical wrist. Works on standard DH values
// converted from the MDH ones. armType flags (1 = set): [0] shoulder, [1] elbow, [2] wrist.
// Inverse kinematics codes: 0 solved, 1001 overhead singularity, 1002 elbow singularity,
// 1003 wrist singularity, 1004 cos theta5 out of range, 1005 no joint 6 near the reference,
// 1006 a non-finite pose or result, 1007 a result whose forward kinematics misses the pose;
// -1 when no configuration solves.
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

  // The wrist centre and joint 1, shared by both elbow configurations.
  struct ShoulderSolution
  {
    double wx, wy, wz, theta1, s1, c1;
  };
  // Joints 1 to 3, shared by both wrist configurations.
  struct ArmSolution
  {
    double theta1, s1, c1, theta2, theta3, s23, c23;
  };

  FlangePose flange(const double* q) const;
  // The closed form for one configuration, printing the failure; the pose must have passed
  // isFinitePose. reference_j6 non-null picks joint 6 within pi of it (by-reference form).
  int solve(const Eigen::MatrixXd& pose, Configuration configuration, const double* reference_j6,
            Joints& q) const;
  // The three steps of solve, silent: a code of the table.
  int solveShoulder(const Eigen::MatrixXd& pose, bool shoulder, ShoulderSolution& result) const;
  int solveElbow(const ShoulderSolution& shoulder, bool elbow, ArmSolution& arm) const;
  int solveWrist(const Eigen::MatrixXd& pose, const ArmSolution& arm, bool wrist, const double* reference_j6,
                 Joints& q) const;
  static void printFailure(int code);
  // Solutions of all eight configurations in configuration order, each printed as a "q:" line.
  int collectSolutions(const Eigen::MatrixXd& pose, std::array<Joints, 8>& candidates) const;

  double overhead_tolerance_ = 0.0025;
  double j3_tolerance_ = 0.0004;
  double j5_tolerance_ = 0.0005;
  std::array<double, 6> cos_alpha_{};
  std::array<double, 6> sin_alpha_{};
  std::array<double, 6> theta_offsets_;
  std::array<double, 6> joint_offsets_{};
  // From the elbow to the wrist centre: length and angle of the link offset (a3, d4).
  double forearm_length_ = 0.0;
  double forearm_angle_ = 0.0;
};
