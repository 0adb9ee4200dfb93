#pragma once

#include <string>

namespace urdf
{
struct Vector3
{
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  Vector3() = default;
  Vector3(double vx, double vy, double vz) : x(vx), y(vy), z(vz) {}

  void clear() { x = y = z = 0.0; }
  // Three numbers separated by spaces; throws ParseError.
  void init(const std::string& text);
};

// Unit quaternion.
struct Rotation
{
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  double w = 1.0;

  void clear()
  {
    x = y = z = 0.0;
    w = 1.0;
  }
  // rotation = Rz(yaw) * Ry(pitch) * Rx(roll), normalised.
  void setFromRPY(double roll, double pitch, double yaw);
};

struct Pose
{
  Vector3 position;
  Rotation rotation;
  // Roll, pitch and yaw exactly as written; the joint's MDH parameters are taken from these.
  Vector3 rpy;

  void clear()
  {
    position.clear();
    rotation.clear();
    rpy.clear();
  }
};
}  // namespace urdf
