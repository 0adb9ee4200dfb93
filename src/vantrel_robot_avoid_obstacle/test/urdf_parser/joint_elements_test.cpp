// Joint elements and their properties.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"

namespace
{
using console_bridge::CONSOLE_BRIDGE_LOG_ERROR;

struct Parsed
{
  bool ok;
  urdf::Joint joint;
};

Parsed parse(const std::string& xml)
{
  TiXmlDocument document;
  document.Parse(xml.c_str());
  Parsed parsed{false, {}};
  parsed.ok = urdf::parseJoint(parsed.joint, document.RootElement());
  return parsed;
}

std::string joint(const std::string& type, const std::string& children)
{
  return "<joint name=\"j\" type=\"" + type + "\"><parent link=\"a\"/><child link=\"b\"/>" + children + "</joint>";
}

TEST(Joint, EveryElementOfARevoluteJoint)
{
  const Parsed p = parse(joint("revolute", R"(<origin xyz="0.1 0 0.3" rpy="1.5707963267948966 -0.5 0"/>
      <axis xyz="0 0 2"/><limit lower="-1" upper="1" effort="10" velocity="2"/>
      <safety_controller k_velocity="3" soft_upper_limit="0.9"/><calibration rising="0.25"/>
      <dynamics damping="0.5"/><mimic joint="finger"/>)"));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.joint.type, urdf::Joint::REVOLUTE);
  EXPECT_EQ(p.joint.axis.z, 2.0) << "the axis is kept as written";
  EXPECT_EQ(p.joint.parent_to_joint_origin_transform.rpy.x, 1.5707963267948966);
  EXPECT_EQ(p.joint.parent_to_joint_origin_transform.rpy.y, -0.5);
  EXPECT_EQ(p.joint.limits->lower, -1.0);
  EXPECT_EQ(p.joint.safety->soft_upper_limit, 0.9);
  ASSERT_TRUE(p.joint.calibration->rising);
  EXPECT_EQ(*p.joint.calibration->rising, 0.25);
  EXPECT_FALSE(p.joint.calibration->falling);
  EXPECT_EQ(p.joint.dynamics->damping, 0.5);
  ASSERT_TRUE(p.joint.mimic);
  EXPECT_EQ(p.joint.mimic->joint_name, "finger");
  EXPECT_EQ(p.joint.mimic->multiplier, 1.0);
  EXPECT_EQ(p.joint.mimic->offset, 0.0);
}

TEST(Joint, AxisDefaults)
{
  const Parsed continuous = parse(joint("continuous", ""));
  EXPECT_TRUE(continuous.ok) << "a continuous joint needs no limit";
  EXPECT_EQ(continuous.joint.axis.x, 1.0);
  EXPECT_EQ(parse(joint("continuous", "<axis/>")).joint.axis.x, 0.0) << "an axis without xyz is all zeros";
  EXPECT_EQ(parse(joint("fixed", "")).joint.axis.x, 0.0);
}

// Each fault gives its message, then for a faulty child element the joint's message that ends the parse.
TEST(Joint, FaultsFailWithTheirMessagesInOrder)
{
  const std::string limit_fault = "urdf_parser/joint:454: Could not parse limit element for joint [j]";
  const struct
  {
    std::string xml;
    std::vector<std::string> errors;
  } cases[] = {
      {"<joint type=\"fixed\"/>", {"urdf_parser/joint:345: unnamed joint found"}},
      {joint("fixed", "<origin xyz=\"1\"/>"),
       {"urdf_parser/pose:102: Parser found 1 elements but 3 expected while parsing vector [1]",
        "urdf_parser/joint:362: Malformed parent origin element for joint [j]"}},
      {"<joint name=\"j\"/>", {"urdf_parser/joint:401: joint [j] has no type, check to see if it's a reference."}},
      {joint("Revolute", ""), {"urdf_parser/joint:420: Joint [j] has no known type [Revolute]"}},
      {joint("revolute", "<axis xyz=\"0 0 a\"/>"),
       {"urdf_parser/joint:440: Malformed axis element for joint [j]: Unable to parse component [a] to a double (while "
        "parsing a vector value)"}},
      {joint("revolute", ""), {"urdf_parser/joint:461: Joint [j] is of type REVOLUTE but it does not specify limits"}},
      {joint("prismatic", ""), {"urdf_parser/joint:466: Joint [j] is of type PRISMATIC without limits"}},
      {joint("revolute", "<limit velocity=\"1\"/>"), {"urdf_parser/joint:136: joint limit: no effort", limit_fault}},
      {joint("revolute", "<limit effort=\"1\" velocity=\"1\" lower=\"%n\"/>"),
       {"urdf_parser/joint:112: lower value (%n) is not a valid float", limit_fault}},
      {joint("revolute", "<limit effort=\"1\" velocity=\"1\" lower=\"1\" upper=\"-1\"/>"),
       {"urdf_parser/joint:164: joint limit: lower (1.000000) is greater than upper (-1.000000)", limit_fault}},
      {joint("continuous", "<safety_controller k_position=\"1\"/>"),
       {"urdf_parser/joint:226: joint safety: no k_velocity",
        "urdf_parser/joint:477: Could not parse safety element for joint [j]"}},
      {joint("continuous", "<calibration falling=\"x\"/>"),
       {"urdf_parser/joint:275: falling value (x) is not a valid float",
        "urdf_parser/joint:490: Could not parse calibration element for joint  [j]"}},
      {joint("continuous", "<mimic multiplier=\"2\"/>"),
       {"urdf_parser/joint:292: joint mimic: no mimic joint specified",
        "urdf_parser/joint:503: Could not parse mimic element for joint  [j]"}},
      {joint("continuous", "<dynamics/>"),
       {"urdf_parser/joint:88: joint dynamics element specified with no damping and no friction",
        "urdf_parser/joint:516: Could not parse joint_dynamics element for joint [j]"}},
  };
  for (const auto& c : cases)
  {
    ConsoleCapture capture;
    EXPECT_FALSE(parse(c.xml).ok) << c.xml;
    std::vector<std::string> errors;
    for (const auto& m : capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR))
    {
      errors.push_back(m.source + ":" + std::to_string(m.line) + ": " + m.text);
    }
    EXPECT_EQ(errors, c.errors);
  }
}

TEST(Joint, AnyJointFaultDropsTheModel)
{
  ConsoleCapture capture;
  EXPECT_FALSE(
      urdf::parseURDF("<robot name=\"r\"><link name=\"a\"/><link name=\"b\"/>" + joint("revolute", "") + "</robot>"));
  const auto errors = capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].line, 461);
  EXPECT_TRUE(
      capture.contains(CONSOLE_BRIDGE_LOG_ERROR, "urdf_parser/model", 232, "joint xml is not initialized correctly"));
}
}  // namespace
