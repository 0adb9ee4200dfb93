#pragma once

#include "robot_model/core/random_number_generator.h"
#include "robot_model/core/variable_bounds.h"

// Rules on single variable values shared by several joint kinds.
namespace robot_model {
namespace core {
namespace joint_rules {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// 0 when the range holds 0, otherwise its middle.
double defaultPosition(const VariableBounds& bounds);
// Sets value to the nearer bound when outside; true when changed.
bool clampPosition(double& value, const VariableBounds& bounds);
// Within the bounds widened by margin on both sides; a NaN value passes.
inline bool satisfiesBounds(double value, const VariableBounds& bounds, double margin)
{
  return !(value < bounds.min_position_ - margin || value > bounds.max_position_ + margin);
}
// An infinite bound on either side.
bool isUnbounded(const VariableBounds& bounds);
// Uniform in the bounds, or 0 when unbounded.
double randomPosition(RandomNumberGenerator& rng, const VariableBounds& bounds);
// Uniform within distance of near and within the bounds, whatever the bounds.
double uniformNearBy(RandomNumberGenerator& rng, const VariableBounds& bounds, double near, double distance);
// As uniformNearBy, or 0 when unbounded.
double randomPositionNearBy(RandomNumberGenerator& rng, const VariableBounds& bounds, double near, double distance);
// Angle on the shorter arc from `from` to `to` at fraction t, kept within [-pi, pi].
double interpolateAngle(double from, double to, double t);

}  // namespace joint_rules
}  // namespace core
}  // namespace robot_model
