#include "robot_model/core/prismatic_joint_model.h"

#include "robot_model/core/joint_variable_rules.h"

#include <cfloat>
#include <cmath>

namespace robot_model {
namespace core {

PrismaticJointModel::PrismaticJointModel(const std::string& name, std::size_t joint_index,
                                         std::size_t first_variable_index)
  : JointModel(name, joint_index, first_variable_index)
{
  type_ = PRISMATIC;
  addVariable();
  variable_bounds_[0].min_position_ = -DBL_MAX;
  variable_bounds_[0].max_position_ = DBL_MAX;
  variable_bounds_[0].position_bounded_ = true;
}

bool PrismaticJointModel::setAxis(const Eigen::Vector3d& axis)
{
  return normalizeAxis(axis, axis_);
}

void PrismaticJointModel::getVariableDefaultPositions(double* values, const Bounds& bounds) const
{
  values[0] = joint_rules::defaultPosition(bounds[0]);
}

void PrismaticJointModel::getVariableRandomPositions(RandomNumberGenerator& rng, double* values,
                                                     const Bounds& bounds) const
{
  values[0] = rng.uniformReal(bounds[0].min_position_, bounds[0].max_position_);
}

void PrismaticJointModel::getVariableRandomPositionsNearBy(RandomNumberGenerator& rng, double* values,
                                                           const Bounds& bounds, const double* near,
                                                           double distance) const
{
  values[0] = joint_rules::uniformNearBy(rng, bounds[0], near[0], distance);
}

bool PrismaticJointModel::satisfiesPositionBounds(const double* values, const Bounds& bounds, double margin) const
{
  return joint_rules::satisfiesBounds(values[0], bounds[0], margin);
}

bool PrismaticJointModel::enforcePositionBounds(double* values, const Bounds& bounds) const
{
  return joint_rules::clampPosition(values[0], bounds[0]);
}

double PrismaticJointModel::distance(const double* a, const double* b) const
{
  return std::fabs(a[0] - b[0]);
}

unsigned int PrismaticJointModel::getStateSpaceDimension() const
{
  return 1;
}

void PrismaticJointModel::interpolate(const double* from, const double* to, double t, double* state) const
{
  state[0] = from[0] + t * (to[0] - from[0]);
}

double PrismaticJointModel::getMaximumExtent(const Bounds& bounds) const
{
  return bounds[0].max_position_ - bounds[0].min_position_;
}

void PrismaticJointModel::computeTransform(const double* values, Eigen::Isometry3d& transform) const
{
  transform.setIdentity();
  transform.translation() = axis_ * values[0];
}

void PrismaticJointModel::computeVariablePositions(const Eigen::Isometry3d& transform, double* values) const
{
  values[0] = axis_.dot(transform.translation());
}

}  // namespace core
}  // namespace robot_model
