#pragma once

#include "robot_model/core/joint_model.h"

namespace robot_model {
namespace core {

// A rigid connection: no variables, identity transform.
class FixedJointModel : public JointModel
{
public:
  FixedJointModel(const std::string& name, std::size_t joint_index, std::size_t first_variable_index);

  void getVariableDefaultPositions(double* values, const Bounds& bounds) const override;
  void getVariableRandomPositions(RandomNumberGenerator& rng, double* values, const Bounds& bounds) const override;
  void getVariableRandomPositionsNearBy(RandomNumberGenerator& rng, double* values, const Bounds& bounds,
                                        const double* near, double distance) const override;
  bool satisfiesPositionBounds(const double* values, const Bounds& bounds, double margin) const override;
  bool enforcePositionBounds(double* values, const Bounds& bounds) const override;
  double distance(const double* a, const double* b) const override;
  unsigned int getStateSpaceDimension() const override;
  void interpolate(const double* from, const double* to, double t, double* state) const override;
  double getMaximumExtent(const Bounds& bounds) const override;
  void computeTransform(const double* values, Eigen::Isometry3d& transform) const override;
  void computeVariablePositions(const Eigen::Isometry3d& transform, double* values) const override;
};

}  // namespace core
}  // namespace robot_model
