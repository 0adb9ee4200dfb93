#pragma once

#include "robot_model/core/joint_model.h"

namespace robot_model {
namespace core {

// Rotation about a unit axis by one angle. A continuous joint has no position limits: its angle
// wraps into (-pi, pi] and distances and interpolation take the shorter way round.
class RevoluteJointModel : public JointModel
{
public:
  RevoluteJointModel(const std::string& name, std::size_t joint_index, std::size_t first_variable_index);

  // Stores the axis scaled to unit length. A zero or non-finite axis leaves the joint unchanged and
  // returns false: such a joint cannot move.
  bool setAxis(const Eigen::Vector3d& axis);
  const Eigen::Vector3d& getAxis() const { return axis_; }
  void setContinuous(bool continuous) { continuous_ = continuous; }
  bool isContinuous() const { return continuous_; }

  void getVariableDefaultPositions(double* values, const Bounds& bounds) const override;
  void getVariableRandomPositions(RandomNumberGenerator& rng, double* values, const Bounds& bounds) const override;
  void getVariableRandomPositionsNearBy(RandomNumberGenerator& rng, double* values, const Bounds& bounds,
                                        const double* near, double distance) const override;
  bool satisfiesPositionBounds(const double* values, const Bounds& bounds, double margin) const override;
  bool enforcePositionBounds(double* values, const Bounds& bounds) const override;
  bool harmonizePosition(double* values, const Bounds& bounds) const override;
  double distance(const double* a, const double* b) const override;
  unsigned int getStateSpaceDimension() const override;
  void interpolate(const double* from, const double* to, double t, double* state) const override;
  double getMaximumExtent(const Bounds& bounds) const override;
  void computeTransform(const double* values, Eigen::Isometry3d& transform) const override;
  // The angle in [-pi, pi] of the rotation about the axis.
  void computeVariablePositions(const Eigen::Isometry3d& transform, double* values) const override;

protected:
  bool hasMdhAxis() const override;

private:
  Eigen::Vector3d axis_ = Eigen::Vector3d::Zero();
  bool continuous_ = false;
  // Axis products of the rotation matrix.
  double x2_ = 0.0, y2_ = 0.0, z2_ = 0.0, xy_ = 0.0, xz_ = 0.0, yz_ = 0.0;
};

}  // namespace core
}  // namespace robot_model
