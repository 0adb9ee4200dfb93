#pragma once

namespace robot_model {
namespace core {

// A joint's origin in its parent link's frame as written in the URDF: position, then roll-pitch-yaw.
struct JointOrigin
{
  double x_ = 0.0;
  double y_ = 0.0;
  double z_ = 0.0;
  double roll_ = 0.0;
  double pitch_ = 0.0;
  double yaw_ = 0.0;
};

}  // namespace core
}  // namespace robot_model
