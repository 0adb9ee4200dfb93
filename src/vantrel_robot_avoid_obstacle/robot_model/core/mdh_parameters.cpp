#include "robot_model/core/mdh_parameters.h"

namespace robot_model {
namespace core {

const char* getMdhStatusText(MdhStatus status)
{
  switch (status) {
    case MdhStatus::VALID:
      return "MDH parameters valid";
    case MdhStatus::NOT_COMPUTED:
      return "no MDH parameters for this joint type";
    case MdhStatus::ROTATION_NOT_MDH:
      return "origin rotation is not Rx(alpha)*Rz(theta)";
    case MdhStatus::TRANSLATION_NOT_MDH:
      return "origin translation is not in the plane of the previous x axis and the joint axis";
    case MdhStatus::AXIS_NOT_Z:
      return "revolute axis is not (0, 0, 1)";
  }
  return "unknown MDH status";
}

}  // namespace core
}  // namespace robot_model
