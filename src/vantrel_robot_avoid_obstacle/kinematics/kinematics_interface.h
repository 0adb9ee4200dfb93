#pragma once

#include <Eigen/Core>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

// Analytic solver of one arm model. Poses are 4x4 homogeneous matrices (columns n, o, a, p) of the
// flange in the chain's base frame; joint vectors hold one value per joint in chain order.
// After init the solve operations only read the object, so they may run concurrently.
class KinematicsInterface
{
public:
  virtual ~KinematicsInterface() = default;

  // Takes the chain's MDH values per joint: 0, -1 wrong sizes, -2 wrong twist sequence,
  // -3 values that break the closed form's assumptions. Nothing is stored on failure.
  virtual int init(std::vector<double> zds, std::vector<double> xas, std::vector<double> alphas,
                   std::vector<double> qzeros) = 0;
  // Flange pose for q (at least dof values); an empty matrix when q is too short.
  virtual Eigen::MatrixXd forwardKinematics(std::vector<double> q) const = 0;
  virtual int inverseKinematicsByReference(const Eigen::MatrixXd& pose, std::vector<double> reference,
                                           std::vector<double>& q) const = 0;
  virtual int inverseKinematicsForArmType(const Eigen::MatrixXd& pose, const int armType[3],
                                          std::vector<double>& q) const = 0;
  virtual int inverseKinematics(const Eigen::MatrixXd& pose, std::vector<double>& q) const = 0;
  virtual int inverseKinematicsAllArmTypes(const Eigen::MatrixXd& pose,
                                           std::vector<std::vector<double>>& solutions) const = 0;

  int getDof() const { return dof_; }
  const std::vector<double>& getExpectedAlphaSequence() const { return expected_alpha_sequence_; }
  const std::vector<double>& getZd() const { return zd_; }
  const std::vector<double>& getXa() const { return xa_; }
  const std::vector<double>& getAlpha() const { return alpha_; }
  const std::vector<double>& getQzero() const { return qzero_; }

protected:
  KinematicsInterface(int dof, std::vector<double> expected_alpha_sequence);

  // Prints why and returns false unless the pose is a 4x4 matrix of finite values.
  static bool isFinitePose(const Eigen::MatrixXd& pose);
  // The checks init makes before the arm's own: 0, or -1 wrong sizes, -2 wrong twist sequence,
  // -3 a value that is not finite; prints why.
  int checkMdhValues(const std::vector<double>& zds, const std::vector<double>& xas,
                     const std::vector<double>& alphas, const std::vector<double>& qzeros) const;
  // Prints the broken requirement of the closed form when condition is false; returns condition.
  static bool fitsClosedForm(bool condition, const char* requirement);
  // Prints the banner and the stored values, one joint a line.
  void printMdhValues(const char* banner) const;
  // Caches each twist's cosine and sine and each joint's offset from the model's zero to the solver's.
  template <std::size_t N>
  void cacheJointConstants(const std::array<double, N>& theta_offsets, std::array<double, N>& cos_alpha,
                           std::array<double, N>& sin_alpha, std::array<double, N>& joint_offsets) const
  {
    for (std::size_t i = 0; i < N; ++i) {
      cos_alpha[i] = std::cos(alpha_[i]);
      sin_alpha[i] = std::sin(alpha_[i]);
      joint_offsets[i] = theta_offsets[i] - qzero_[i];
    }
  }
  // Prints why and returns false when q holds fewer than dof values (forward kinematics).
  bool hasJointValues(const std::vector<double>& q) const;
  // Rotation and position of the flange, the top three rows of its pose.
  using FlangePose = Eigen::Matrix<double, 3, 4>;
  // The 4x4 matrix of the flange pose.
  static Eigen::MatrixXd homogeneousPose(const FlangePose& flange)
  {
    Eigen::MatrixXd pose(4, 4);
    pose.topRows<3>() = flange;
    pose.row(3) << 0.0, 0.0, 0.0, 1.0;
    return pose;
  }
  // The last step of every inverse solution: true when the solution's flange pose gives the asked
  // pose back within 1e-9 in each entry. On false the solver prints kPoseNotReproducedMessage.
  static bool reproducesPose(const FlangePose& flange, const Eigen::MatrixXd& pose)
  {
    // A NaN difference compares false, so it fails too.
    return ((flange - pose.topRows<3>()).array().abs() <= 1e-9).all();
  }
  static constexpr char kPoseNotReproducedMessage[] = "the inverseKinematics solution does not reproduce the pose!!!";
  // Lengths below this count as zero in the closed forms' assumptions (metres).
  static constexpr double kZeroLength = 1e-9;

  int dof_;
  std::vector<double> expected_alpha_sequence_;
  std::vector<double> zd_;
  std::vector<double> xa_;
  std::vector<double> alpha_;
  std::vector<double> qzero_;
};
