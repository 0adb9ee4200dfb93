#include "robot_model/core/fixed_joint_model.h"

namespace robot_model {
namespace core {

FixedJointModel::FixedJointModel(const std::string& name, std::size_t joint_index, std::size_t first_variable_index)
  : JointModel(name, joint_index, first_variable_index)
{
  type_ = FIXED;
}

void FixedJointModel::getVariableDefaultPositions(double* /*values*/, const Bounds& /*bounds*/) const
{
}

void FixedJointModel::getVariableRandomPositions(RandomNumberGenerator& /*rng*/, double* /*values*/,
                                                 const Bounds& /*bounds*/) const
{
}

void FixedJointModel::getVariableRandomPositionsNearBy(RandomNumberGenerator& /*rng*/, double* /*values*/,
                                                       const Bounds& /*bounds*/, const double* /*near*/,
                                                       double /*distance*/) const
{
}

bool FixedJointModel::satisfiesPositionBounds(const double* /*values*/, const Bounds& /*bounds*/,
                                              double /*margin*/) const
{
  return true;
}

bool FixedJointModel::enforcePositionBounds(double* /*values*/, const Bounds& /*bounds*/) const
{
  return false;
}

double FixedJointModel::distance(const double* /*a*/, const double* /*b*/) const
{
  return 0.0;
}

unsigned int FixedJointModel::getStateSpaceDimension() const
{
  return 0;
}

void FixedJointModel::interpolate(const double* /*from*/, const double* /*to*/, double /*t*/,
                                  double* /*state*/) const
{
}

double FixedJointModel::getMaximumExtent(const Bounds& /*bounds*/) const
{
  return 0.0;
}

void FixedJointModel::computeTransform(const double* /*values*/, Eigen::Isometry3d& transform) const
{
  transform.setIdentity();
}

void FixedJointModel::computeVariablePositions(const Eigen::Isometry3d& /*transform*/, double* /*values*/) const
{
}

}  // namespace core
}  // namespace robot_model
