#include "kinematics/orvane_bot_v3_kinematics.h"

#include "kinematics/joint_values_printer.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kHalfPi = kPi / 2.0;
constexpr int kNoSolution = -1;
constexpr int kNotANumber = -10;
constexpr int kPoseNotReproduced = -11;

}  // namespace

OrvaneBotV3Kinematics::OrvaneBotV3Kinematics()
  : KinematicsInterface(5, { 0.0, kHalfPi, 0.0, 0.0, -kHalfPi })
  , theta_offsets_{ 0.0, kHalfPi, kHalfPi, 0.0, 0.0 }
{
}

int OrvaneBotV3Kinematics::init(std::vector<double> zds, std::vector<double> xas, std::vector<double> alphas,
                                std::vector<double> qzeros)
{
  const int rc = checkMdhValues(zds, xas, alphas, qzeros);
  if (rc != 0) {
    return rc;
  }
  // The closed form assumes the three pitch joints in one plane through the base axis.
  if (!fitsClosedForm(std::fabs(zds[1]) < kZeroLength, "zd of joint 2 must be 0") ||
      !fitsClosedForm(std::fabs(zds[2]) < kZeroLength, "zd of joint 3 must be 0") ||
      !fitsClosedForm(std::fabs(zds[3]) < kZeroLength, "zd of joint 4 must be 0") ||
      !fitsClosedForm(std::fabs(xas[0]) < kZeroLength, "xa of joint 1 must be 0") ||
      !fitsClosedForm(std::fabs(xas[2]) >= kZeroLength, "xa of joint 3 must not be 0") ||
      !fitsClosedForm(std::fabs(xas[3]) >= kZeroLength, "xa of joint 4 must not be 0")) {
    return -3;
  }

  zd_ = std::move(zds);
  xa_ = std::move(xas);
  alpha_ = std::move(alphas);
  qzero_ = std::move(qzeros);

  printMdhValues("\033[42m ######################mdh para##########################\033[0m");
  cacheJointConstants(theta_offsets_, cos_alpha_, sin_alpha_, joint_offsets_);
  return 0;
}

Eigen::MatrixXd OrvaneBotV3Kinematics::forwardKinematics(std::vector<double> q) const
{
  if (!hasJointValues(q)) {
    return Eigen::MatrixXd();
  }
  return homogeneousPose(flange(q.data()));
}

KinematicsInterface::FlangePose OrvaneBotV3Kinematics::flange(const double* q) const
{
  // The frame's axes x, y, z and origin p, carried through each link's Rx(alpha) Tx(a) Rz(theta) Tz(d).
  Eigen::Vector3d x = Eigen::Vector3d::UnitX(), y = Eigen::Vector3d::UnitY(), z = Eigen::Vector3d::UnitZ();
  Eigen::Vector3d p = Eigen::Vector3d::Zero();
  for (std::size_t i = 0; i < 5; ++i) {
    const double theta = q[i] + qzero_[i];
    const double ct = std::cos(theta);
    const double st = std::sin(theta);
    const Eigen::Vector3d twisted_y = cos_alpha_[i] * y + sin_alpha_[i] * z;
    z = cos_alpha_[i] * z - sin_alpha_[i] * y;
    p += xa_[i] * x + zd_[i] * z;
    const Eigen::Vector3d turned_x = ct * x + st * twisted_y;
    y = ct * twisted_y - st * x;
    x = turned_x;
  }
  FlangePose result;
  result << x, y, z, p;
  return result;
}

int OrvaneBotV3Kinematics::inverseKinematicsByReference(const Eigen::MatrixXd& /*pose*/,
                                                        std::vector<double> /*reference*/,
                                                        std::vector<double>& /*q*/) const
{
  std::puts("inverseKinematicsByReference is not available for this arm, use inverseKinematicsAllArmTypes");
  return kNoSolution;
}

int OrvaneBotV3Kinematics::inverseKinematics(const Eigen::MatrixXd& /*pose*/, std::vector<double>& /*q*/) const
{
  std::puts("inverseKinematics is not available for this arm, use inverseKinematicsAllArmTypes");
  return kNoSolution;
}

int OrvaneBotV3Kinematics::solve(const Eigen::MatrixXd& pose, int base_flag, int elbow_flag, Joints& q) const
{
  const double nx = pose(0, 0), ny = pose(1, 0), nz = pose(2, 0);
  const double ox = pose(0, 1), oy = pose(1, 1), oz = pose(2, 1);
  const double ax = pose(0, 2), ay = pose(1, 2), az = pose(2, 2);
  const double px = pose(0, 3), py = pose(1, 3), pz = pose(2, 3);
  const double d1 = zd_[0], d5 = zd_[4];
  const double a1 = xa_[1], a2 = xa_[2], a3 = xa_[3], a5 = xa_[4];

  // Joint 1 turns the arm plane, which holds the base axis, the flange origin p and the tool axis a:
  // its direction is that of the horizontal part of p or of a, whichever is longer (either may
  // vanish). Base set faces it within a quarter turn; base clear is half a turn on.
  const double plane = std::hypot(px, py) >= std::hypot(ax, ay) ? std::atan2(py, px) : std::atan2(ay, ax);
  double theta1 = plane > kHalfPi ? plane - kPi : (plane < -kHalfPi ? plane + kPi : plane);
  if (base_flag != 1) {
    theta1 = theta1 < 0.0 ? theta1 + kPi : theta1 - kPi;
  }
  const double s1 = std::sin(theta1);
  const double c1 = std::cos(theta1);

  // Joint 5, the tool roll: the components of n and o along the pitch axes (s1, -c1, 0) are
  // (-sin theta5, -cos theta5) whatever the pitch joints do. (Solving it within the arm plane
  // divides by the cosine of the pitch sum, which vanishes with the last link vertical.)
  const double n1 = nx * s1 - ny * c1;
  const double o1 = ox * s1 - oy * c1;
  const double nc = nx * c1 + ny * s1;
  const double oc = ox * c1 + oy * s1;
  const double theta5 = std::atan2(-n1, -o1);
  const double s5 = std::sin(theta5);
  const double c5 = std::cos(theta5);

  // Wrist point in the arm plane.
  const double x = a1 - ((px * c1 + py * s1) - d5 * (ax * c1 + ay * s1) - a5 * c5 * nc + a5 * s5 * oc);
  const double z = pz - d1 - d5 * az - a5 * nz * c5 + a5 * oz * s5;

  // Out of reach leaves k outside [-1, 1]; the non-finite result is caught below.
  const double k = (a3 * a3 + a2 * a2 - x * x - z * z) / (2.0 * a3 * a2);
  const double theta3 = elbow_flag == 1 ? std::asin(k) : kPi - std::asin(k);
  if (std::fabs(theta3) < j3_tolerance_) {
    std::puts("j3 singularity error!!!");
    return kNoSolution;
  }
  const double s3 = std::sin(theta3);
  const double c3 = std::cos(theta3);
  const double e = a2 - a3 * s3;
  const double theta2 = std::atan2(e * x - a3 * c3 * z, a3 * c3 * x + e * z);
  const double theta4 = std::atan2(-(c5 * nz - s5 * oz), -az) - theta2 - theta3;

  q = { theta1 + joint_offsets_[0], theta2 + joint_offsets_[1], theta3 + joint_offsets_[2],
        theta4 + joint_offsets_[3], theta5 + joint_offsets_[4] };
  for (double value : q) {
    if (!std::isfinite(value)) {
      std::puts("inverseKinematics not a number!!!!");
      return kNotANumber;
    }
  }
  if (!reproducesPose(flange(q.data()), pose)) {
    std::puts(kPoseNotReproducedMessage);
    return kPoseNotReproduced;
  }
  std::printf("armtype=[%d,%d]\n", base_flag, elbow_flag);
  printJointValuesFixed(q.data(), q.size());
  return 0;
}

int OrvaneBotV3Kinematics::inverseKinematicsForArmType(const Eigen::MatrixXd& pose, const int armType[3],
                                                       std::vector<double>& q) const
{
  if (!isFinitePose(pose)) {
    return kNotANumber;
  }
  Joints solution;
  const int rc = solve(pose, armType[0], armType[1], solution);
  // q receives the values even when they are not finite; the code tells.
  if (rc == 0 || rc == kNotANumber) {
    q.assign(solution.begin(), solution.end());
  }
  return rc;
}

int OrvaneBotV3Kinematics::inverseKinematicsAllArmTypes(const Eigen::MatrixXd& pose,
                                                        std::vector<std::vector<double>>& solutions) const
{
  solutions.clear();
  if (!isFinitePose(pose)) {
    return 0;
  }
  static constexpr int kConfigurations[4][2] = { { 0, 0 }, { 1, 0 }, { 1, 1 }, { 0, 1 } };
  Joints solution;
  for (const auto& flags : kConfigurations) {
    if (solve(pose, flags[0], flags[1], solution) == 0) {
      solutions.emplace_back(solution.begin(), solution.end());
    }
  }
  return 0;
}
