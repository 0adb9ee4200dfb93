#include "robot_model/core/joint_variable_rules.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace robot_model {
namespace core {
namespace joint_rules {

double defaultPosition(const VariableBounds& bounds)
{
  if (bounds.min_position_ <= 0.0 && bounds.max_position_ >= 0.0) {
    return 0.0;
  }
  return (bounds.min_position_ + bounds.max_position_) / 2.0;
}

bool clampPosition(double& value, const VariableBounds& bounds)
{
  if (value < bounds.min_position_) {
    value = bounds.min_position_;
    return true;
  }
  if (value > bounds.max_position_) {
    value = bounds.max_position_;
    return true;
  }
  return false;
}

bool isUnbounded(const VariableBounds& bounds)
{
  return bounds.max_position_ > DBL_MAX || bounds.min_position_ < -DBL_MAX;
}

double randomPosition(RandomNumberGenerator& rng, const VariableBounds& bounds)
{
  if (isUnbounded(bounds)) {
    return 0.0;
  }
  return rng.uniformReal(bounds.min_position_, bounds.max_position_);
}

double uniformNearBy(RandomNumberGenerator& rng, const VariableBounds& bounds, double near, double distance)
{
  return rng.uniformReal(std::max(bounds.min_position_, near - distance),
                         std::min(bounds.max_position_, near + distance));
}

double randomPositionNearBy(RandomNumberGenerator& rng, const VariableBounds& bounds, double near, double distance)
{
  if (isUnbounded(bounds)) {
    return 0.0;
  }
  return uniformNearBy(rng, bounds, near, distance);
}

double interpolateAngle(double from, double to, double t)
{
  const double diff = to - from;
  if (std::fabs(diff) <= kPi) {
    return from + t * diff;
  }
  // The shorter way passes through pi.
  double value = diff > 0.0 ? from - t * (kTwoPi - diff) : from - t * (-kTwoPi - diff);
  if (value > kPi) {
    value -= kTwoPi;
  } else if (value < -kPi) {
    value += kTwoPi;
  }
  return value;
}

}  // namespace joint_rules
}  // namespace core
}  // namespace robot_model
