#pragma once

#include "robot_model/core/joint_model.h"

namespace robot_model {
namespace core {

// Motion in the x-y plane: variables x, y and the heading theta (which wraps).
// HOLONOMIC moves straight in x, y and theta at once; DIFF_DRIVE turns on the spot, drives straight
// and turns again.
class PlanarJointModel : public JointModel
{
public:
  enum MotionModel
  {
    HOLONOMIC = 0,
    DIFF_DRIVE = 1,
  };

  PlanarJointModel(const std::string& name, std::size_t joint_index, std::size_t first_variable_index);

  double getAngularDistanceWeight() const { return angular_distance_weight_; }
  void setAngularDistanceWeight(double weight) { angular_distance_weight_ = weight; }
  MotionModel getMotionModel() const { return motion_model_; }
  void setMotionModel(MotionModel model) { motion_model_ = model; }
  double getMinTranslationalDistance() const { return min_translational_distance_; }
  void setMinTranslationalDistance(double distance) { min_translational_distance_ = distance; }

  // Turn-drive-turn path from one (x, y, theta) to another: the offset, the turn before driving,
  // the heading while driving and the turn after. Below min_translational_distance the joint only turns.
  static void computeTurnDriveTurnGeometry(const double* from, const double* to, double min_translational_distance,
                                           double& dx, double& dy, double& initial_turn, double& drive_angle,
                                           double& final_turn);

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
  // theta comes out within [-pi, pi].
  void computeVariablePositions(const Eigen::Isometry3d& transform, double* values) const override;

private:
  void interpolateDiffDrive(const double* from, const double* to, double t, double* state) const;

  double angular_distance_weight_ = 1.0;
  MotionModel motion_model_ = HOLONOMIC;
  double min_translational_distance_ = 1e-5;
};

}  // namespace core
}  // namespace robot_model
