#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/exception.h"
#include "robot_model/urdf_parser/log.h"

namespace urdf
{
bool parsePose(Pose& pose, const TiXmlElement* xml)
{
  pose.clear();
  if (xml == nullptr)
  {
    return true;
  }

  if (const char* xyz = xml->Attribute("xyz"))
  {
    try
    {
      pose.position.init(xyz);
    }
    catch (const ParseError& e)
    {
      logText(kPoseSource, 102, console_bridge::CONSOLE_BRIDGE_LOG_ERROR, e.what());
      return false;
    }
  }

  if (const char* rpy = xml->Attribute("rpy"))
  {
    pose.rotation.clear();
    try
    {
      Vector3 angles;
      angles.init(rpy);
      pose.rotation.setFromRPY(angles.x, angles.y, angles.z);
      pose.rpy = angles;
    }
    catch (const ParseError& e)
    {
      logText(kPoseSource, 115, console_bridge::CONSOLE_BRIDGE_LOG_ERROR, e.what());
      return false;
    }
  }
  return true;
}
}  // namespace urdf
