#pragma once

#include "robot_model/core/joint_model.h"

namespace robot_model {
namespace core {

// Translation along a unit axis by one distance.
class PrismaticJointModel : public JointModel
{
public:
  PrismaticJointModel(const std::string& name, std::size_t joint_index, std::size_t first_variable_index);

  // Stores the axis scaled to unit length, so that the variable is a distance in metres. A zero or
  // non-finite axis leaves the joint unchanged and returns false: such a joint cannot move.
  bool setAxis(const Eigen::Vector3d& axis);
  const Eigen::Vector3d& getAxis() const { return axis_; }

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

private:
  Eigen::Vector3d axis_ = Eigen::Vector3d::Zero();
};

}  // namespace core
}  // namespace robot_model
