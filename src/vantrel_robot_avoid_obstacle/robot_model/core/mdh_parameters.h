#pragma once

namespace robot_model {
namespace core {

// Modified Denavit-Hartenberg values of one joint: the joint frame is Rx(alpha) Tx(xa) Rz(qzero) Tz(zd)
// in its parent's frame.
struct MdhParameters
{
  double xa_ = 0.0;     // link length along the previous x axis (metres)
  double alpha_ = 0.0;  // twist about the previous x axis (radians)
  double zd_ = 0.0;     // offset along the joint's z axis (metres)
  double qzero_ = 0.0;  // joint angle offset (radians)
};

// Whether a joint's MDH values describe its origin and axis exactly, and if not, why.
enum class MdhStatus
{
  NOT_COMPUTED,         // never derived (root, planar and floating joints)
  VALID,
  ROTATION_NOT_MDH,     // the origin rotation is not Rx(alpha) Rz(theta); values left at zero
  TRANSLATION_NOT_MDH,  // the origin translation leaves the joint's x-z plane
  AXIS_NOT_Z,           // a revolute joint whose axis is not (0, 0, 1)
};

// One line saying what the status means for a kinematic chain.
const char* getMdhStatusText(MdhStatus status);

}  // namespace core
}  // namespace robot_model
