#include "robot_model/core/revolute_joint_model.h"

#include "robot_model/core/joint_variable_rules.h"

#include <cmath>

namespace robot_model {
namespace core {

using joint_rules::kPi;
using joint_rules::kTwoPi;

RevoluteJointModel::RevoluteJointModel(const std::string& name, std::size_t joint_index,
                                       std::size_t first_variable_index)
  : JointModel(name, joint_index, first_variable_index)
{
  type_ = REVOLUTE;
  addVariable();
  variable_bounds_[0].min_position_ = -kPi;
  variable_bounds_[0].max_position_ = kPi;
  variable_bounds_[0].position_bounded_ = true;
}

bool RevoluteJointModel::setAxis(const Eigen::Vector3d& axis)
{
  if (!normalizeAxis(axis, axis_)) {
    return false;
  }
  x2_ = axis_.x() * axis_.x();
  y2_ = axis_.y() * axis_.y();
  z2_ = axis_.z() * axis_.z();
  xy_ = axis_.x() * axis_.y();
  xz_ = axis_.x() * axis_.z();
  yz_ = axis_.y() * axis_.z();
  return true;
}

bool RevoluteJointModel::hasMdhAxis() const
{
  constexpr double kTolerance = 1e-5;
  return std::fabs(axis_.x()) < kTolerance && std::fabs(axis_.y()) < kTolerance && axis_.z() > 0.0;
}

void RevoluteJointModel::getVariableDefaultPositions(double* values, const Bounds& bounds) const
{
  values[0] = joint_rules::defaultPosition(bounds[0]);
}

void RevoluteJointModel::getVariableRandomPositions(RandomNumberGenerator& rng, double* values,
                                                    const Bounds& bounds) const
{
  values[0] = rng.uniformReal(bounds[0].min_position_, bounds[0].max_position_);
}

void RevoluteJointModel::getVariableRandomPositionsNearBy(RandomNumberGenerator& rng, double* values,
                                                          const Bounds& bounds, const double* near,
                                                          double distance) const
{
  if (continuous_) {
    values[0] = rng.uniformReal(near[0] - distance, near[0] + distance);
    enforcePositionBounds(values, bounds);
  } else {
    values[0] = joint_rules::uniformNearBy(rng, bounds[0], near[0], distance);
  }
}

bool RevoluteJointModel::satisfiesPositionBounds(const double* values, const Bounds& bounds, double margin) const
{
  if (continuous_) {
    return true;
  }
  return joint_rules::satisfiesBounds(values[0], bounds[0], margin);
}

bool RevoluteJointModel::enforcePositionBounds(double* values, const Bounds& bounds) const
{
  if (!continuous_) {
    return joint_rules::clampPosition(values[0], bounds[0]);
  }
  double& v = values[0];
  if (v > -kPi && v <= kPi) {
    return false;
  }
  v = std::fmod(v, kTwoPi);
  if (v <= -kPi) {
    v += kTwoPi;
  } else if (v > kPi) {
    v -= kTwoPi;
  }
  return true;
}

bool RevoluteJointModel::harmonizePosition(double* values, const Bounds& bounds) const
{
  // Whole turns towards the bounds, counted rather than stepped so that huge or infinite values
  // cannot keep a loop going. Beyond a million radians whole turns are no longer exact to 1e-9,
  // so such values, like infinite ones, stay as they are.
  constexpr double kLargestTurnedValue = 1e6;
  double& v = values[0];
  const double min = bounds[0].min_position_;
  const double max = bounds[0].max_position_;
  if (!(std::fabs(v) <= kLargestTurnedValue) || !std::isfinite(min) || !std::isfinite(max)) {
    return false;
  }
  double harmonized = v;
  if (v < min) {
    // The last value on the way up that does not pass max.
    harmonized = v + std::floor((max - v) / kTwoPi) * kTwoPi;
    if (!(harmonized <= max && harmonized > max - kTwoPi)) {
      return false;
    }
  } else if (v > max) {
    // The last value on the way down that does not pass min.
    harmonized = v - std::floor((v - min) / kTwoPi) * kTwoPi;
    if (!(harmonized >= min && harmonized < min + kTwoPi)) {
      return false;
    }
  }
  if (harmonized == v) {
    return false;
  }
  v = harmonized;
  return true;
}

double RevoluteJointModel::distance(const double* a, const double* b) const
{
  double d = std::fabs(a[0] - b[0]);
  if (continuous_) {
    d = std::fmod(d, kTwoPi);
    if (d > kPi) {
      d = kTwoPi - d;
    }
  }
  return d;
}

unsigned int RevoluteJointModel::getStateSpaceDimension() const
{
  return 1;
}

void RevoluteJointModel::interpolate(const double* from, const double* to, double t, double* state) const
{
  state[0] = continuous_ ? joint_rules::interpolateAngle(from[0], to[0], t) : from[0] + t * (to[0] - from[0]);
}

double RevoluteJointModel::getMaximumExtent(const Bounds& bounds) const
{
  return bounds[0].max_position_ - bounds[0].min_position_;
}

void RevoluteJointModel::computeTransform(const double* values, Eigen::Isometry3d& transform) const
{
  const double c = std::cos(values[0]);
  const double s = std::sin(values[0]);
  const double k = 1.0 - c;
  const double x = axis_.x(), y = axis_.y(), z = axis_.z();
  Eigen::Matrix4d& m = transform.matrix();
  m << x2_ * k + c, xy_ * k - z * s, xz_ * k + y * s, 0.0,
       xy_ * k + z * s, y2_ * k + c, yz_ * k - x * s, 0.0,
       xz_ * k - y * s, yz_ * k + x * s, z2_ * k + c, 0.0,
       0.0, 0.0, 0.0, 1.0;
}

void RevoluteJointModel::computeVariablePositions(const Eigen::Isometry3d& transform, double* values) const
{
  Eigen::Quaterniond q(transform.linear());
  const double norm = q.norm();
  if (norm > 0.0) {
    q.coeffs() /= norm;
  }
  // q and -q are the same rotation; w >= 0 keeps the angle within [-pi, pi].
  if (q.w() < 0.0) {
    q.coeffs() = -q.coeffs();
  }
  int i = 0;
  for (int k = 1; k < 3; ++k) {
    if (std::fabs(axis_[k]) > std::fabs(axis_[i])) {
      i = k;
    }
  }
  values[0] = 2.0 * std::atan2(q.vec()[i] / axis_[i], q.w());
}

}  // namespace core
}  // namespace robot_model
