#pragma once

namespace robot_model {
namespace core {

// Limits of one joint variable; each pair counts only when its flag is set.
struct VariableBounds
{
  double min_position_ = 0.0;
  double max_position_ = 0.0;
  bool position_bounded_ = false;

  double min_velocity_ = 0.0;
  double max_velocity_ = 0.0;
  bool velocity_bounded_ = false;

  double min_acceleration_ = 0.0;
  double max_acceleration_ = 0.0;
  bool acceleration_bounded_ = false;

  double min_jerk_ = 0.0;
  double max_jerk_ = 0.0;
  bool jerk_bounded_ = false;
};

}  // namespace core
}  // namespace robot_model
