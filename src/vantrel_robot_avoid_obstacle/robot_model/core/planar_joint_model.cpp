#include "robot_model/core/planar_joint_model.h"

#include "robot_model/core/joint_variable_rules.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace robot_model {
namespace core {

using joint_rules::kPi;
using joint_rules::kTwoPi;

namespace {

// Brings a heading outside [-pi, pi] back into it; true when changed.
bool wrapHeading(double& theta)
{
  if (theta >= -kPi && theta <= kPi) {
    return false;
  }
  theta = std::fmod(theta, kTwoPi);
  if (theta < -kPi) {
    theta += kTwoPi;
  } else if (theta > kPi) {
    theta -= kTwoPi;
  }
  return true;
}

// The angle in [-pi, pi) equivalent to a.
double normalizeAngle(double a)
{
  const double r = std::fmod(a + kPi, kTwoPi);
  return r > 0.0 ? r - kPi : r + kPi;
}

}  // namespace

PlanarJointModel::PlanarJointModel(const std::string& name, std::size_t joint_index,
                                   std::size_t first_variable_index)
  : JointModel(name, joint_index, first_variable_index)
{
  type_ = PLANAR;
  addVariables({ "x", "y", "theta" });
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  for (int i = 0; i < 2; ++i) {
    variable_bounds_[i].min_position_ = -kInfinity;
    variable_bounds_[i].max_position_ = kInfinity;
    variable_bounds_[i].position_bounded_ = true;
  }
  variable_bounds_[2].min_position_ = -kPi;
  variable_bounds_[2].max_position_ = kPi;
  variable_bounds_[2].position_bounded_ = false;
}

void PlanarJointModel::computeTurnDriveTurnGeometry(const double* from, const double* to,
                                                    double min_translational_distance, double& dx, double& dy,
                                                    double& initial_turn, double& drive_angle, double& final_turn)
{
  dx = to[0] - from[0];
  dy = to[1] - from[1];
  const double straight =
      std::hypot(dx, dy) > min_translational_distance ? normalizeAngle(std::atan2(dy, dx) - from[2]) : 0.0;
  const double backward = normalizeAngle(straight - kPi);
  const double straight_cost = std::fabs(straight) + std::fabs(normalizeAngle(to[2] - (from[2] + straight)));
  const double backward_cost = std::fabs(backward) + std::fabs(normalizeAngle(to[2] - (from[2] + backward)));
  initial_turn = straight_cost <= backward_cost ? straight : backward;
  drive_angle = from[2] + initial_turn;
  final_turn = normalizeAngle(to[2] - drive_angle);
}

void PlanarJointModel::getVariableDefaultPositions(double* values, const Bounds& bounds) const
{
  values[0] = joint_rules::defaultPosition(bounds[0]);
  values[1] = joint_rules::defaultPosition(bounds[1]);
  values[2] = 0.0;
}

void PlanarJointModel::getVariableRandomPositions(RandomNumberGenerator& rng, double* values,
                                                  const Bounds& bounds) const
{
  values[0] = joint_rules::randomPosition(rng, bounds[0]);
  values[1] = joint_rules::randomPosition(rng, bounds[1]);
  values[2] = rng.uniformReal(bounds[2].min_position_, bounds[2].max_position_);
}

void PlanarJointModel::getVariableRandomPositionsNearBy(RandomNumberGenerator& rng, double* values,
                                                        const Bounds& bounds, const double* near,
                                                        double distance) const
{
  values[0] = joint_rules::randomPositionNearBy(rng, bounds[0], near[0], distance);
  values[1] = joint_rules::randomPositionNearBy(rng, bounds[1], near[1], distance);
  const double da = std::min(kPi, angular_distance_weight_ * distance);
  values[2] = rng.uniformReal(near[2] - da, near[2] + da);
  wrapHeading(values[2]);
}

bool PlanarJointModel::satisfiesPositionBounds(const double* values, const Bounds& bounds, double margin) const
{
  for (int i = 0; i < 3; ++i) {
    if (!joint_rules::satisfiesBounds(values[i], bounds[i], margin)) {
      return false;
    }
  }
  return true;
}

bool PlanarJointModel::enforcePositionBounds(double* values, const Bounds& bounds) const
{
  bool changed = wrapHeading(values[2]);
  changed = joint_rules::clampPosition(values[0], bounds[0]) || changed;
  changed = joint_rules::clampPosition(values[1], bounds[1]) || changed;
  return changed;
}

double PlanarJointModel::distance(const double* a, const double* b) const
{
  if (motion_model_ == HOLONOMIC) {
    double dtheta = std::fabs(a[2] - b[2]);
    if (dtheta > kPi) {
      dtheta = kTwoPi - dtheta;
    }
    const double dx = a[0] - b[0];
    const double dy = a[1] - b[1];
    return std::sqrt(dx * dx + dy * dy) + angular_distance_weight_ * dtheta;
  }
  if (motion_model_ == DIFF_DRIVE) {
    double dx, dy, initial_turn, drive_angle, final_turn;
    computeTurnDriveTurnGeometry(a, b, min_translational_distance_, dx, dy, initial_turn, drive_angle, final_turn);
    return std::hypot(dx, dy) + (std::fabs(initial_turn) + std::fabs(final_turn)) * angular_distance_weight_;
  }
  return 0.0;
}

unsigned int PlanarJointModel::getStateSpaceDimension() const
{
  return 3;
}

void PlanarJointModel::interpolate(const double* from, const double* to, double t, double* state) const
{
  if (motion_model_ == DIFF_DRIVE) {
    interpolateDiffDrive(from, to, t, state);
    return;
  }
  state[0] = from[0] + t * (to[0] - from[0]);
  state[1] = from[1] + t * (to[1] - from[1]);
  state[2] = joint_rules::interpolateAngle(from[2], to[2], t);
}

void PlanarJointModel::interpolateDiffDrive(const double* from, const double* to, double t, double* state) const
{
  double dx, dy, initial_turn, drive_angle, final_turn;
  computeTurnDriveTurnGeometry(from, to, min_translational_distance_, dx, dy, initial_turn, drive_angle,
                               final_turn);
  const double initial_part = std::fabs(initial_turn) * angular_distance_weight_;
  const double drive_part = std::hypot(dx, dy);
  const double final_part = std::fabs(final_turn) * angular_distance_weight_;
  const double total = initial_part + drive_part + final_part;
  // Nothing to travel (equal states, or turns that weigh nothing): stay at from.
  if (!(total > 0.0)) {
    std::copy(from, from + 3, state);
    return;
  }
  const double fi = initial_part / total;
  const double fd = drive_part / total;
  const double ff = final_part / total;
  // A phase of zero length is passed over, so no fraction divides by zero.
  if (t <= fi) {
    state[0] = from[0];
    state[1] = from[1];
    state[2] = fi > 0.0 ? from[2] + initial_turn * t / fi : from[2];
  } else if (t <= fi + fd) {
    const double s = (t - fi) / fd;
    state[0] = from[0] + dx * s;
    state[1] = from[1] + dy * s;
    state[2] = drive_angle;
  } else {
    state[0] = to[0];
    state[1] = to[1];
    state[2] = ff > 0.0 ? drive_angle + final_turn * (t - fi - fd) / ff : drive_angle;
  }
}

double PlanarJointModel::getMaximumExtent(const Bounds& bounds) const
{
  const double dx = bounds[0].max_position_ - bounds[0].min_position_;
  const double dy = bounds[1].max_position_ - bounds[1].min_position_;
  return std::sqrt(dx * dx + dy * dy) + kPi * angular_distance_weight_;
}

void PlanarJointModel::computeTransform(const double* values, Eigen::Isometry3d& transform) const
{
  transform.setIdentity();
  transform.linear() = Eigen::AngleAxisd(values[2], Eigen::Vector3d::UnitZ()).toRotationMatrix();
  transform.translation() = Eigen::Vector3d(values[0], values[1], 0.0);
}

void PlanarJointModel::computeVariablePositions(const Eigen::Isometry3d& transform, double* values) const
{
  values[0] = transform.translation().x();
  values[1] = transform.translation().y();
  Eigen::Quaterniond q(transform.linear());
  // q and -q are the same rotation; w >= 0 keeps theta within [-pi, pi].
  if (q.w() < 0.0) {
    q.coeffs() = -q.coeffs();
  }
  const double s2 = 1.0 - q.w() * q.w();
  values[2] = s2 < 2.220446049250313e-15 ? 0.0 : 2.0 * std::acos(q.w()) * q.z() / std::sqrt(s2);
}

}  // namespace core
}  // namespace robot_model
