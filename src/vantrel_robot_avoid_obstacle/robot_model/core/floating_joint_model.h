#pragma once

#include "robot_model/core/joint_model.h"

namespace robot_model {
namespace core {

// Free motion: variables trans_x, trans_y, trans_z and the unit quaternion rot_x, rot_y, rot_z, rot_w.
class FloatingJointModel : public JointModel
{
public:
  FloatingJointModel(const std::string& name, std::size_t joint_index, std::size_t first_variable_index);

  double getAngularDistanceWeight() const { return angular_distance_weight_; }
  void setAngularDistanceWeight(double weight) { angular_distance_weight_ = weight; }

  void getVariableDefaultPositions(double* values, const Bounds& bounds) const override;
  void getVariableRandomPositions(RandomNumberGenerator& rng, double* values, const Bounds& bounds) const override;
  void getVariableRandomPositionsNearBy(RandomNumberGenerator& rng, double* values, const Bounds& bounds,
                                        const double* near, double distance) const override;
  bool satisfiesPositionBounds(const double* values, const Bounds& bounds, double margin) const override;
  // Normalises the quaternion (a vanishing one becomes the identity) and clamps the translation.
  bool enforcePositionBounds(double* values, const Bounds& bounds) const override;
  double distance(const double* a, const double* b) const override;
  // 7, the number of variables.
  unsigned int getStateSpaceDimension() const override;
  void interpolate(const double* from, const double* to, double t, double* state) const override;
  double getMaximumExtent(const Bounds& bounds) const override;
  void computeTransform(const double* values, Eigen::Isometry3d& transform) const override;
  void computeVariablePositions(const Eigen::Isometry3d& transform, double* values) const override;

private:
  double angular_distance_weight_ = 1.0;
};

}  // namespace core
}  // namespace robot_model
