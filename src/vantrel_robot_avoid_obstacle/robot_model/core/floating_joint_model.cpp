#include "robot_model/core/floating_joint_model.h"

#include "robot_model/core/joint_variable_rules.h"

#include <cmath>
#include <limits>

namespace robot_model {
namespace core {

using joint_rules::kPi;

namespace {

constexpr double kEpsilon = 2.220446049250313e-16;

}  // namespace

FloatingJointModel::FloatingJointModel(const std::string& name, std::size_t joint_index,
                                       std::size_t first_variable_index)
  : JointModel(name, joint_index, first_variable_index)
{
  type_ = FLOATING;
  addVariables({ "trans_x", "trans_y", "trans_z", "rot_x", "rot_y", "rot_z", "rot_w" });
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  for (int i = 0; i < 7; ++i) {
    variable_bounds_[i].min_position_ = i < 3 ? -kInfinity : -1.0;
    variable_bounds_[i].max_position_ = i < 3 ? kInfinity : 1.0;
    variable_bounds_[i].position_bounded_ = true;
  }
}

void FloatingJointModel::getVariableDefaultPositions(double* values, const Bounds& bounds) const
{
  for (int i = 0; i < 3; ++i) {
    values[i] = joint_rules::defaultPosition(bounds[i]);
  }
  values[3] = 0.0;
  values[4] = 0.0;
  values[5] = 0.0;
  values[6] = 1.0;
}

void FloatingJointModel::getVariableRandomPositions(RandomNumberGenerator& rng, double* values,
                                                    const Bounds& bounds) const
{
  for (int i = 0; i < 3; ++i) {
    values[i] = joint_rules::randomPosition(rng, bounds[i]);
  }
  rng.randomQuaternion(values + 3);
}

void FloatingJointModel::getVariableRandomPositionsNearBy(RandomNumberGenerator& rng, double* values,
                                                          const Bounds& bounds, const double* near,
                                                          double distance) const
{
  for (int i = 0; i < 3; ++i) {
    values[i] = joint_rules::randomPositionNearBy(rng, bounds[i], near[i], distance);
  }
  const double da = angular_distance_weight_ * distance;
  if (da >= 0.7853981633974483) {
    rng.randomQuaternion(values + 3);
    return;
  }
  // A small rotation of random axis and an angle below 2 da, applied after near's rotation.
  const double ax = rng.gaussian01();
  const double ay = rng.gaussian01();
  const double az = rng.gaussian01();
  const double angle = 2.0 * std::pow(rng.uniform01(), 1.0 / 3.0) * da;
  const double n = std::sqrt(ax * ax + ay * ay + az * az);
  Eigen::Quaterniond small = Eigen::Quaterniond::Identity();
  if (n >= 1e-6) {
    const double s = std::sin(angle / 2.0);
    small = Eigen::Quaterniond(std::cos(angle / 2.0), s * ax / n, s * ay / n, s * az / n);
  }
  const Eigen::Quaterniond near_rotation(near[6], near[3], near[4], near[5]);
  const Eigen::Quaterniond result = near_rotation * small;
  values[3] = result.x();
  values[4] = result.y();
  values[5] = result.z();
  values[6] = result.w();
}

bool FloatingJointModel::satisfiesPositionBounds(const double* values, const Bounds& bounds, double margin) const
{
  for (int i = 0; i < 3; ++i) {
    if (!joint_rules::satisfiesBounds(values[i], bounds[i], margin)) {
      return false;
    }
  }
  const double norm2 = values[3] * values[3] + values[4] * values[4] + values[5] * values[5] + values[6] * values[6];
  return std::fabs(norm2 - 1.0) <= 1.1920928955078125e-6;
}

bool FloatingJointModel::enforcePositionBounds(double* values, const Bounds& bounds) const
{
  bool changed = false;
  const double norm2 = values[3] * values[3] + values[4] * values[4] + values[5] * values[5] + values[6] * values[6];
  if (std::fabs(norm2 - 1.0) > 100.0 * kEpsilon) {
    const double norm = std::sqrt(norm2);
    if (norm < 100.0 * kEpsilon) {
      values[3] = 0.0;
      values[4] = 0.0;
      values[5] = 0.0;
      values[6] = 1.0;
    } else {
      for (int i = 3; i < 7; ++i) {
        values[i] /= norm;
      }
    }
    changed = true;
  }
  for (int i = 0; i < 3; ++i) {
    changed = joint_rules::clampPosition(values[i], bounds[i]) || changed;
  }
  return changed;
}

double FloatingJointModel::distance(const double* a, const double* b) const
{
  const double dx = a[0] - b[0];
  const double dy = a[1] - b[1];
  const double dz = a[2] - b[2];
  const double dot = std::fabs(a[3] * b[3] + a[4] * b[4] + a[5] * b[5] + a[6] * b[6]);
  const double angle = dot + kEpsilon < 1.0 ? std::acos(dot) : 0.0;
  return std::sqrt(dx * dx + dy * dy + dz * dz) + angular_distance_weight_ * angle;
}

unsigned int FloatingJointModel::getStateSpaceDimension() const
{
  return 7;
}

void FloatingJointModel::interpolate(const double* from, const double* to, double t, double* state) const
{
  for (int i = 0; i < 3; ++i) {
    state[i] = from[i] + t * (to[i] - from[i]);
  }
  double difference = 0.0;
  for (int i = 3; i < 7; ++i) {
    difference += std::fabs(from[i] - to[i]);
  }
  if (difference <= kEpsilon) {
    for (int i = 3; i < 7; ++i) {
      state[i] = from[i];
    }
    return;
  }
  // Spherical interpolation along the shorter arc.
  const double dot = from[3] * to[3] + from[4] * to[4] + from[5] * to[5] + from[6] * to[6];
  const double abs_dot = std::fabs(dot);
  double w_from = 1.0 - t;
  double w_to = t;
  if (abs_dot < 1.0 - kEpsilon) {
    const double theta = std::acos(abs_dot);
    const double sin_theta = std::sin(theta);
    w_from = std::sin((1.0 - t) * theta) / sin_theta;
    w_to = std::sin(t * theta) / sin_theta;
  }
  if (dot < 0.0) {
    w_to = -w_to;
  }
  for (int i = 3; i < 7; ++i) {
    state[i] = w_from * from[i] + w_to * to[i];
  }
}

double FloatingJointModel::getMaximumExtent(const Bounds& bounds) const
{
  const double dx = bounds[0].max_position_ - bounds[0].min_position_;
  const double dy = bounds[1].max_position_ - bounds[1].min_position_;
  const double dz = bounds[2].max_position_ - bounds[2].min_position_;
  return std::sqrt(dx * dx + dy * dy + dz * dz) + kPi / 2.0 * angular_distance_weight_;
}

void FloatingJointModel::computeTransform(const double* values, Eigen::Isometry3d& transform) const
{
  Eigen::Quaterniond q(values[6], values[3], values[4], values[5]);
  const double norm = q.norm();
  if (norm > 0.0) {
    q.coeffs() /= norm;
  }
  transform.setIdentity();
  transform.linear() = q.toRotationMatrix();
  transform.translation() = Eigen::Vector3d(values[0], values[1], values[2]);
}

void FloatingJointModel::computeVariablePositions(const Eigen::Isometry3d& transform, double* values) const
{
  values[0] = transform.translation().x();
  values[1] = transform.translation().y();
  values[2] = transform.translation().z();
  const Eigen::Quaterniond q(transform.linear());
  values[3] = q.x();
  values[4] = q.y();
  values[5] = q.z();
  values[6] = q.w();
}

}  // namespace core
}  // namespace robot_model
