#include "kinematics/six_axis_kinematics.h"

#include "kinematics/joint_values_printer.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kTwoPi = 2.0 * kPi;
constexpr int kNoSolution = -1;
constexpr int kOverheadSingularity = 1001;
constexpr int kJ3Singularity = 1002;
constexpr int kJ5Singularity = 1003;
constexpr int kCosTheta5OutOfRange = 1004;
constexpr int kJ6NotNearReference = 1005;
constexpr int kNotANumber = 1006;
constexpr int kPoseNotReproduced = 1007;
constexpr char kNoSolutionMessage[] = "第一次所有臂参数都无法逆解";

bool isSet(int flag) { return flag == 1; }

}  // namespace

SixAxisKinematics::SixAxisKinematics()
  : KinematicsInterface(6, { 0.0, kHalfPi, 0.0, kHalfPi, -kHalfPi, kHalfPi })
  , theta_offsets_{ 0.0, kHalfPi, 0.0, 0.0, 0.0, 0.0 }
{
}

int SixAxisKinematics::init(std::vector<double> zds, std::vector<double> xas, std::vector<double> alphas,
                            std::vector<double> qzeros)
{
  const int rc = checkMdhValues(zds, xas, alphas, qzeros);
  if (rc != 0) {
    return rc;
  }
  // The closed form assumes a wrist of intersecting axes and an in-plane elbow.
  if (!fitsClosedForm(std::fabs(zds[1]) < kZeroLength, "zd of joint 2 must be 0") ||
      !fitsClosedForm(std::fabs(zds[4]) < kZeroLength, "zd of joint 5 must be 0") ||
      !fitsClosedForm(std::fabs(xas[0]) < kZeroLength, "xa of joint 1 must be 0") ||
      !fitsClosedForm(std::fabs(xas[4]) < kZeroLength, "xa of joint 5 must be 0") ||
      !fitsClosedForm(std::fabs(xas[5]) < kZeroLength, "xa of joint 6 must be 0") ||
      !fitsClosedForm(zds[3] >= kZeroLength, "zd of joint 4 must be positive") ||
      !fitsClosedForm(std::fabs(xas[2]) >= kZeroLength, "xa of joint 3 must not be 0")) {
    return -3;
  }

  // Standard DH puts each link's length and twist on the link before it.
  const std::size_t n = xas.size();
  for (std::size_t i = 0; i < n; ++i) {
    xa_[i] = xas[(i + 1) % n];
    alpha_[i] = alphas[(i + 1) % n];
  }
  zd_ = std::move(zds);
  qzero_ = std::move(qzeros);

  printMdhValues("######################sdh para##########################");
  cacheJointConstants(theta_offsets_, cos_alpha_, sin_alpha_, joint_offsets_);
  forearm_length_ = std::sqrt(xa_[2] * xa_[2] + zd_[3] * zd_[3]);
  forearm_angle_ = std::asin(xa_[2] / forearm_length_);
  return 0;
}

Eigen::MatrixXd SixAxisKinematics::forwardKinematics(std::vector<double> q) const
{
  if (!hasJointValues(q)) {
    return Eigen::MatrixXd();
  }
  return homogeneousPose(flange(q.data()));
}

KinematicsInterface::FlangePose SixAxisKinematics::flange(const double* q) const
{
  // The frame's axes x, y, z and origin p, carried through each link's Rz(theta) Tz(d) Tx(a) Rx(alpha).
  Eigen::Vector3d x = Eigen::Vector3d::UnitX(), y = Eigen::Vector3d::UnitY(), z = Eigen::Vector3d::UnitZ();
  Eigen::Vector3d p = Eigen::Vector3d::Zero();
  for (std::size_t i = 0; i < 6; ++i) {
    const double theta = q[i] + qzero_[i];
    const double ct = std::cos(theta);
    const double st = std::sin(theta);
    p += zd_[i] * z;
    const Eigen::Vector3d turned_x = ct * x + st * y;
    const Eigen::Vector3d turned_y = ct * y - st * x;
    p += xa_[i] * turned_x;
    x = turned_x;
    y = cos_alpha_[i] * turned_y + sin_alpha_[i] * z;
    z = cos_alpha_[i] * z - sin_alpha_[i] * turned_y;
  }
  FlangePose result;
  result << x, y, z, p;
  return result;
}

void SixAxisKinematics::printFailure(int code)
{
  switch (code) {
    case kOverheadSingularity:
      std::puts("overhead singularity error!!!");
      break;
    case kJ3Singularity:
      std::puts("j3 singularity error!!!");
      break;
    case kJ5Singularity:
      std::puts("j5 singularity error!!!");
      break;
    case kCosTheta5OutOfRange:
      std::puts("cosTheta05 value is larger than 1!!!");
      break;
    case kJ6NotNearReference:
      std::puts("slove j6 error!!!");
      break;
    case kPoseNotReproduced:
      std::puts(kPoseNotReproducedMessage);
      break;
    default:
      std::puts("inverseKinematics not a number!!!!");
      break;
  }
}

int SixAxisKinematics::solveShoulder(const Eigen::MatrixXd& pose, bool shoulder, ShoulderSolution& result) const
{
  const double ax = pose(0, 2), ay = pose(1, 2), az = pose(2, 2);
  const double px = pose(0, 3), py = pose(1, 3), pz = pose(2, 3);
  const double d1 = zd_[0], d3 = zd_[2], d6 = zd_[5];

  // Wrist centre, measured from the shoulder height.
  const double wx = px - d6 * ax;
  const double wy = py - d6 * ay;
  const double wz = pz - d6 * az - d1;
  const double r = std::sqrt(wx * wx + wy * wy);
  if (r - std::fabs(d3) < overhead_tolerance_) {
    return kOverheadSingularity;
  }

  const double phi = std::atan2(wy, wx);
  const double e = std::asin(d3 / r);
  double theta1 = shoulder ? phi + e : phi - e;
  if (theta1 > kPi) {
    theta1 -= kTwoPi;
  }
  if (theta1 < -kPi) {
    theta1 += kTwoPi;
  }
  if (!shoulder) {
    theta1 = theta1 < 0.0 ? theta1 + kPi : theta1 - kPi;
  }
  result = { wx, wy, wz, theta1, std::sin(theta1), std::cos(theta1) };
  return 0;
}

int SixAxisKinematics::solveElbow(const ShoulderSolution& shoulder, bool elbow, ArmSolution& arm) const
{
  const double a1 = xa_[0], a2 = xa_[1], d3 = zd_[2];
  const double wx = shoulder.wx, wy = shoulder.wy, wz = shoulder.wz;
  const double s1 = shoulder.s1, c1 = shoulder.c1;

  const double u = wx - d3 * s1 - a1 * c1;
  const double v = wy + d3 * c1 - a1 * s1;
  const double length = forearm_length_;
  const double cos3 = (a2 * a2 + length * length - u * u - v * v - wz * wz) / (2.0 * a2 * length);
  if (std::fabs(cos3) > 1.0 - j3_tolerance_) {
    return kJ3Singularity;
  }

  const double beta = forearm_angle_;
  const double bend = kPi - std::acos(cos3);
  const double theta3 = elbow ? (kHalfPi - beta) - bend : (kHalfPi - beta) + bend;

  const double g = beta + theta3;
  const double rho = c1 * wx + s1 * wy - a1;
  const double big_a = length * std::sin(g) + a2;
  const double theta2 =
      std::atan2(rho * big_a - wz * length * std::cos(g), wz * big_a + rho * length * std::cos(g));

  arm = { shoulder.theta1, s1, c1, theta2, theta3, std::sin(theta3 - theta2), std::cos(theta3 - theta2) };
  return 0;
}

int SixAxisKinematics::solveWrist(const Eigen::MatrixXd& pose, const ArmSolution& arm, bool wrist,
                                  const double* reference_j6, Joints& q) const
{
  const double nx = pose(0, 0), ny = pose(1, 0), nz = pose(2, 0);
  const double ox = pose(0, 1), oy = pose(1, 1), oz = pose(2, 1);
  const double ax = pose(0, 2), ay = pose(1, 2), az = pose(2, 2);
  const double s1 = arm.s1, c1 = arm.c1;

  const double k = ax * c1 + ay * s1;
  const double c5 = k * arm.c23 + az * arm.s23;
  if (std::fabs(c5) > 1.00001) {
    return kCosTheta5OutOfRange;
  }
  if (std::fabs(c5) > 0.99999) {
    return kJ5Singularity;
  }
  const double acos5 = std::acos(c5);
  if (acos5 < j5_tolerance_) {
    return kJ5Singularity;
  }
  const double theta5 = wrist ? acos5 : -acos5;

  const double y4 = ax * s1 - ay * c1;
  const double x4 = arm.c23 * az - k * arm.s23;
  const double theta4 = theta5 > 0.0 ? std::atan2(y4, x4) : std::atan2(-y4, -x4);

  // Joint 6 from the components of n and o along joint 4's axis (c1 c23, s1 c23, s23), which are
  // (-s5 c6, s5 s6): they hold it wherever joint 5 is off its singularity. Their components along
  // the elbow's axis lose it where cos theta4 and cos theta5 both vanish.
  const double n_along_4 = (nx * c1 + ny * s1) * arm.c23 + nz * arm.s23;
  const double o_along_4 = (ox * c1 + oy * s1) * arm.c23 + oz * arm.s23;
  double theta6 = theta5 > 0.0 ? std::atan2(o_along_4, -n_along_4) : std::atan2(-o_along_4, n_along_4);

  if (reference_j6 != nullptr && !(std::fabs(theta6 - *reference_j6) < kPi)) {
    if (std::fabs(theta6 - kTwoPi - *reference_j6) < kPi) {
      theta6 -= kTwoPi;
    } else if (std::fabs(theta6 + kTwoPi - *reference_j6) < kPi) {
      theta6 += kTwoPi;
    } else {
      return kJ6NotNearReference;
    }
  }

  // Joint 2 turns the other way than the DH angle.
  q = { arm.theta1 + joint_offsets_[0], joint_offsets_[1] - arm.theta2, arm.theta3 + joint_offsets_[2],
        theta4 + joint_offsets_[3],     theta5 + joint_offsets_[4],     theta6 + joint_offsets_[5] };
  for (double value : q) {
    if (!std::isfinite(value)) {
      return kNotANumber;
    }
  }
  return reproducesPose(flange(q.data()), pose) ? 0 : kPoseNotReproduced;
}

int SixAxisKinematics::solve(const Eigen::MatrixXd& pose, Configuration configuration,
                             const double* reference_j6, Joints& q) const
{
  ShoulderSolution shoulder;
  ArmSolution arm;
  int rc = solveShoulder(pose, configuration.shoulder, shoulder);
  if (rc == 0) {
    rc = solveElbow(shoulder, configuration.elbow, arm);
  }
  if (rc == 0) {
    rc = solveWrist(pose, arm, configuration.wrist, reference_j6, q);
  }
  if (rc != 0) {
    printFailure(rc);
  }
  return rc;
}

int SixAxisKinematics::inverseKinematicsForArmType(const Eigen::MatrixXd& pose, const int armType[3],
                                                   std::vector<double>& q) const
{
  q.resize(6);
  if (!isFinitePose(pose)) {
    return kNotANumber;
  }
  Joints solution;
  const int rc = solve(pose, { isSet(armType[0]), isSet(armType[1]), isSet(armType[2]) }, nullptr, solution);
  if (rc == 0) {
    q.assign(solution.begin(), solution.end());
  }
  return rc;
}

int SixAxisKinematics::inverseKinematicsByReference(const Eigen::MatrixXd& pose, std::vector<double> reference,
                                                    std::vector<double>& q) const
{
  q.resize(6);
  if (reference.size() < 6) {
    std::printf("inverseKinematicsByReference needs 6 reference values, got %zu\n", reference.size());
    return kNoSolution;
  }
  if (!isFinitePose(pose)) {
    return kNotANumber;
  }
  // The reference's own configuration, read from its raw joint values.
  const double a1 = xa_[0], a2 = xa_[1], d4 = zd_[3];
  const double reach = a1 - a2 * std::sin(reference[1]) - d4 * std::sin(reference[1] + reference[2]);
  const Configuration configuration{ reach >= 0.0, reference[2] < 0.0, reference[4] >= 0.0 };
  Joints solution;
  const int rc = solve(pose, configuration, &reference[5], solution);
  if (rc == 0) {
    q.assign(solution.begin(), solution.end());
  }
  return rc;
}

int SixAxisKinematics::collectSolutions(const Eigen::MatrixXd& pose, std::array<Joints, 8>& candidates) const
{
  int count = 0;
  if (!isFinitePose(pose)) {
    return count;
  }
  // Configuration k has the flags (k >> 2, k >> 1, k) & 1; the later flags share the earlier joints.
  for (int shoulder_flag = 0; shoulder_flag < 2; ++shoulder_flag) {
    ShoulderSolution shoulder;
    const int shoulder_rc = solveShoulder(pose, shoulder_flag == 1, shoulder);
    for (int elbow_flag = 0; elbow_flag < 2; ++elbow_flag) {
      ArmSolution arm;
      const int arm_rc = shoulder_rc != 0 ? shoulder_rc : solveElbow(shoulder, elbow_flag == 1, arm);
      for (int wrist_flag = 0; wrist_flag < 2; ++wrist_flag) {
        const int rc = arm_rc != 0 ? arm_rc : solveWrist(pose, arm, wrist_flag == 1, nullptr, candidates[count]);
        if (rc != 0) {
          printFailure(rc);
          continue;
        }
        printJointValues("q:", candidates[count].data(), 6);
        ++count;
      }
    }
  }
  return count;
}

int SixAxisKinematics::inverseKinematicsAllArmTypes(const Eigen::MatrixXd& pose,
                                                    std::vector<std::vector<double>>& solutions) const
{
  solutions.clear();
  std::array<Joints, 8> candidates;
  const int count = collectSolutions(pose, candidates);
  if (count == 0) {
    std::puts(kNoSolutionMessage);
    return kNoSolution;
  }
  for (int i = 0; i < count; ++i) {
    solutions.emplace_back(candidates[i].begin(), candidates[i].end());
  }
  return 0;
}

int SixAxisKinematics::inverseKinematics(const Eigen::MatrixXd& pose, std::vector<double>& q) const
{
  q.resize(6);
  std::array<Joints, 8> candidates;
  const int count = collectSolutions(pose, candidates);
  if (count == 0) {
    std::puts(kNoSolutionMessage);
    return kNoSolution;
  }
  std::printf("第一次逆解有%d组解\n", count);
  for (int i = 0; i < count; ++i) {
    printJointValues("", candidates[i].data(), 6);
  }

  // Prefer the least shoulder and elbow motion, then the least base turn, then the least joint 4 turn.
  const auto shoulder_elbow = [&](int i) { return std::fabs(candidates[i][1]) + std::fabs(candidates[i][2]); };
  double least_shoulder_elbow = shoulder_elbow(0);
  for (int i = 1; i < count; ++i) {
    least_shoulder_elbow = std::fmin(least_shoulder_elbow, shoulder_elbow(i));
  }
  std::array<int, 8> kept{};
  int kept_count = 0;
  for (int i = 0; i < count; ++i) {
    if (shoulder_elbow(i) - least_shoulder_elbow < 0.01) {
      std::printf("idx=======%d\n", i);
      kept[kept_count++] = i;
    }
  }
  double least_base = std::fabs(candidates[kept[0]][0]);
  for (int j = 1; j < kept_count; ++j) {
    least_base = std::fmin(least_base, std::fabs(candidates[kept[j]][0]));
  }
  std::printf("min_j1_abs=%lf\n", least_base);
  int best = -1;
  for (int j = 0; j < kept_count; ++j) {
    const int i = kept[j];
    if (std::fabs(candidates[i][0]) - least_base < 1e-6) {
      std::printf("min j1 idx=%d\n", i);
      if (best < 0 || std::fabs(candidates[i][3]) < std::fabs(candidates[best][3])) {
        best = i;
      }
    }
  }
  // Solutions are finite, so the least base turn always keeps one; this only guards the index.
  if (best < 0) {
    std::puts(kNoSolutionMessage);
    return kNoSolution;
  }
  q.assign(candidates[best].begin(), candidates[best].end());
  return 0;
}
