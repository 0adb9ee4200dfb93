#include <cstring>
#include <initializer_list>
#include <stdexcept>

#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/exception.h"
#include "robot_model/urdf_parser/log.h"
#include "robot_model/urdf_parser/text.h"

namespace urdf
{
namespace
{
constexpr console_bridge::LogLevel kDebug = console_bridge::CONSOLE_BRIDGE_LOG_DEBUG;
constexpr console_bridge::LogLevel kInfo = console_bridge::CONSOLE_BRIDGE_LOG_INFO;
constexpr console_bridge::LogLevel kError = console_bridge::CONSOLE_BRIDGE_LOG_ERROR;

// One numeric attribute of a joint property element. An absent attribute is reported at absent_level and,
// when that level is ERROR, ends the element; an unparsable one always does.
struct NumberAttribute
{
  const char* attribute;
  double* value;
  console_bridge::LogLevel absent_level;
  int absent_line;
  const char* absent_message;
  int bad_line;
  const char* bad_format;  // takes the attribute text as written
};

bool readNumbers(const TiXmlElement* config, std::initializer_list<NumberAttribute> attributes)
{
  for (const NumberAttribute& a : attributes)
  {
    const char* text = config->Attribute(a.attribute);
    if (text == nullptr)
    {
      console_bridge::log(kJointSource, a.absent_line, a.absent_level, a.absent_message);
      if (a.absent_level == kError)
      {
        return false;
      }
      continue;
    }
    try
    {
      *a.value = strToDouble(text);
    }
    catch (const std::runtime_error&)
    {
      console_bridge::log(kJointSource, a.bad_line, kError, a.bad_format, text);
      return false;
    }
  }
  return true;
}

bool parseJointLimits(JointLimits& limits, const TiXmlElement* config)
{
  const bool read = readNumbers(
      config, {
                  {"lower", &limits.lower, kDebug, 104, "urdf_parser.joint_limit: no lower, defaults to 0", 112,
                   "lower value (%s) is not a valid float"},
                  {"upper", &limits.upper, kDebug, 120, "urdf_parser.joint_limit: no upper, , defaults to 0", 128,
                   "upper value (%s) is not a valid float"},
                  {"effort", &limits.effort, kError, 136, "joint limit: no effort", 144,
                   "effort value (%s) is not a valid float"},
                  {"velocity", &limits.velocity, kError, 152, "joint limit: no velocity", 160,
                   "velocity value (%s) is not a valid float"},
              });
  if (!read)
  {
    return false;
  }
  // An empty range leaves no valid position; every later bounds check would fail on it.
  if (limits.lower > limits.upper)
  {
    console_bridge::log(kJointSource, 164, kError, "joint limit: lower (%f) is greater than upper (%f)", limits.lower,
                        limits.upper);
    return false;
  }
  return true;
}

bool parseJointSafety(JointSafety& safety, const TiXmlElement* config)
{
  return readNumbers(config, {
                                 {"soft_lower_limit", &safety.soft_lower_limit, kDebug, 176,
                                  "urdf_parser.joint_safety: no soft_lower_limit, using default value", 184,
                                  "soft_lower_limit value (%s) is not a valid float"},
                                 {"soft_upper_limit", &safety.soft_upper_limit, kDebug, 193,
                                  "urdf_parser.joint_safety: no soft_upper_limit, using default value", 201,
                                  "soft_upper_limit value (%s) is not a valid float"},
                                 {"k_position", &safety.k_position, kDebug, 210,
                                  "urdf_parser.joint_safety: no k_position, using default value", 218,
                                  "k_position value (%s) is not a valid float"},
                                 {"k_velocity", &safety.k_velocity, kError, 226, "joint safety: no k_velocity", 234,
                                  "k_velocity value (%s) is not a valid float"},
                             });
}

// Rising and falling stay null when absent.
bool readCalibrationValue(const TiXmlElement* config, const char* attribute, std::shared_ptr<double>& value,
                          int absent_line, const char* absent_message, int bad_line, const char* bad_format)
{
  const char* text = config->Attribute(attribute);
  if (text == nullptr)
  {
    console_bridge::log(kJointSource, absent_line, kDebug, absent_message);
    return true;
  }
  try
  {
    value = std::make_shared<double>(strToDouble(text));
  }
  catch (const std::runtime_error&)
  {
    console_bridge::log(kJointSource, bad_line, kError, bad_format, text);
    return false;
  }
  return true;
}

bool parseJointCalibration(JointCalibration& calibration, const TiXmlElement* config)
{
  return readCalibrationValue(config, "rising", calibration.rising, 250,
                              "urdf_parser.joint_calibration: no rising, using default value", 258,
                              "rising value (%s) is not a valid float") &&
         readCalibrationValue(config, "falling", calibration.falling, 267,
                              "urdf_parser.joint_calibration: no falling, using default value", 275,
                              "falling value (%s) is not a valid float");
}

bool parseJointMimic(JointMimic& mimic, const TiXmlElement* config)
{
  const char* joint_name = config->Attribute("joint");
  if (joint_name == nullptr)
  {
    console_bridge::log(kJointSource, 292, kError, "joint mimic: no mimic joint specified");
    return false;
  }
  mimic.joint_name = joint_name;
  return readNumbers(
      config, {
                  {"multiplier", &mimic.multiplier, kDebug, 303,
                   "urdf_parser.joint_mimic: no multiplier, using default value of 1", 311,
                   "multiplier value (%s) is not a valid float"},
                  {"offset", &mimic.offset, kDebug, 321, "urdf_parser.joint_mimic: no offset, using default value of 0",
                   329, "offset value (%s) is not a valid float"},
              });
}

bool parseJointDynamics(JointDynamics& dynamics, const TiXmlElement* config)
{
  if (!readNumbers(
          config,
          {
              {"damping", &dynamics.damping, kDebug, 57, "urdf_parser.joint_dynamics: no damping, defaults to 0", 65,
               "damping value (%s) is not a valid float"},
              {"friction", &dynamics.friction, kDebug, 73, "urdf_parser.joint_dynamics: no friction, defaults to 0", 81,
               "friction value (%s) is not a valid float"},
          }))
  {
    return false;
  }
  if (config->Attribute("damping") == nullptr && config->Attribute("friction") == nullptr)
  {
    console_bridge::log(kJointSource, 88, kError, "joint dynamics element specified with no damping and no friction");
    return false;
  }
  console_bridge::log(kJointSource, 92, kDebug, "urdf_parser.joint_dynamics: damping %f and friction %f",
                      dynamics.damping, dynamics.friction);
  return true;
}

bool readJointType(Joint& joint, const char* type)
{
  static const struct
  {
    const char* text;
    Joint::JointType type;
  } kTypes[] = {{"planar", Joint::PLANAR},         {"floating", Joint::FLOATING},   {"revolute", Joint::REVOLUTE},
                {"continuous", Joint::CONTINUOUS}, {"prismatic", Joint::PRISMATIC}, {"fixed", Joint::FIXED}};
  for (const auto& known : kTypes)
  {
    if (std::strcmp(type, known.text) == 0)
    {
      joint.type = known.type;
      return true;
    }
  }
  return false;
}

// Runs one optional property parser; on failure drops the property and reports the element.
template <typename Property, typename Parser>
bool parseProperty(std::shared_ptr<Property>& property, const TiXmlElement* config, const char* element_name,
                   Parser parser, int failure_line, const char* failure_format, const std::string& joint_name)
{
  const TiXmlElement* element = config->FirstChildElement(element_name);
  if (element == nullptr)
  {
    return true;
  }
  property = std::make_shared<Property>();
  if (parser(*property, element))
  {
    return true;
  }
  console_bridge::log(kJointSource, failure_line, kError, failure_format, joint_name.c_str());
  property.reset();
  return false;
}
}  // namespace

bool parseJoint(Joint& joint, const TiXmlElement* config)
{
  joint.clear();

  const char* name = config->Attribute("name");
  if (name == nullptr)
  {
    console_bridge::log(kJointSource, 345, kError, "unnamed joint found");
    return false;
  }
  joint.name = name;
  const char* joint_name = joint.name.c_str();

  if (const TiXmlElement* origin = config->FirstChildElement("origin"))
  {
    if (!parsePose(joint.parent_to_joint_origin_transform, origin))
    {
      joint.parent_to_joint_origin_transform.clear();
      console_bridge::log(kJointSource, 362, kError, "Malformed parent origin element for joint [%s]", joint_name);
      return false;
    }
  }
  else
  {
    console_bridge::log(kJointSource, 354, kDebug,
                        "urdf_parser: Joint [%s] missing origin tag under parent describing transform from Parent "
                        "Link to Joint Frame, (using Identity transform).",
                        joint_name);
  }

  if (const TiXmlElement* parent = config->FirstChildElement("parent"))
  {
    if (const char* link = parent->Attribute("link"))
    {
      joint.parent_link_name = link;
    }
    else
    {
      console_bridge::log(kJointSource, 374, kInfo,
                          "no parent link name specified for Joint link [%s]. this might be the root?", joint_name);
    }
  }
  if (const TiXmlElement* child = config->FirstChildElement("child"))
  {
    if (const char* link = child->Attribute("link"))
    {
      joint.child_link_name = link;
    }
    else
    {
      console_bridge::log(kJointSource, 389, kInfo, "no child link name specified for Joint link [%s].", joint_name);
    }
  }

  const char* type = config->Attribute("type");
  if (type == nullptr)
  {
    console_bridge::log(kJointSource, 401, kError, "joint [%s] has no type, check to see if it's a reference.",
                        joint_name);
    return false;
  }
  if (!readJointType(joint, type))
  {
    console_bridge::log(kJointSource, 420, kError, "Joint [%s] has no known type [%s]", joint_name, type);
    return false;
  }

  if (joint.type != Joint::FLOATING && joint.type != Joint::FIXED)
  {
    const TiXmlElement* axis = config->FirstChildElement("axis");
    if (axis == nullptr)
    {
      console_bridge::log(kJointSource, 430, kDebug,
                          "urdf_parser: no axis element for Joint link [%s], defaulting to (1,0,0) axis", joint_name);
      joint.axis = Vector3(1.0, 0.0, 0.0);
    }
    else if (const char* xyz = axis->Attribute("xyz"))
    {
      try
      {
        joint.axis.init(xyz);
      }
      catch (const ParseError& e)
      {
        joint.axis.clear();
        console_bridge::log(kJointSource, 440, kError, "Malformed axis element for joint [%s]: %s", joint_name,
                            e.what());
        return false;
      }
    }
  }

  if (config->FirstChildElement("limit") != nullptr)
  {
    if (!parseProperty(joint.limits, config, "limit", parseJointLimits, 454,
                       "Could not parse limit element for joint [%s]", joint.name))
    {
      return false;
    }
  }
  else if (joint.type == Joint::REVOLUTE)
  {
    console_bridge::log(kJointSource, 461, kError, "Joint [%s] is of type REVOLUTE but it does not specify limits",
                        joint_name);
    return false;
  }
  else if (joint.type == Joint::PRISMATIC)
  {
    console_bridge::log(kJointSource, 466, kError, "Joint [%s] is of type PRISMATIC without limits", joint_name);
    return false;
  }

  return parseProperty(joint.safety, config, "safety_controller", parseJointSafety, 477,
                       "Could not parse safety element for joint [%s]", joint.name) &&
         parseProperty(joint.calibration, config, "calibration", parseJointCalibration, 490,
                       "Could not parse calibration element for joint  [%s]", joint.name) &&
         parseProperty(joint.mimic, config, "mimic", parseJointMimic, 503,
                       "Could not parse mimic element for joint  [%s]", joint.name) &&
         parseProperty(joint.dynamics, config, "dynamics", parseJointDynamics, 516,
                       "Could not parse joint_dynamics element for joint [%s]", joint.name);
}
}  // namespace urdf
