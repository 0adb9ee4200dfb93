// Joint elements and their properties.
#include <string>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"

namespace
{
using console_bridge::CONSOLE_BRIDGE_LOG_ERROR;
using console_bridge::LogLevel;
constexpr const char* kJoint = "urdf_parser/joint";
constexpr const char* kPose = "urdf_parser/pose";

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

TEST(Joint, FullRevoluteJoint)
{
  const Parsed p = parse(joint("revolute", R"(<origin xyz="0.1 0 0.3" rpy="1.5707963267948966 -0.5 0"/>
      <axis xyz="0 0 2"/><limit lower="-1" upper="1" effort="10" velocity="2"/>
      <safety_controller k_velocity="3" soft_upper_limit="0.9"/><calibration rising="0.25"/>
      <dynamics damping="0.5"/>)"));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.joint.type, urdf::Joint::REVOLUTE);
  EXPECT_EQ(p.joint.parent_link_name, "a");
  EXPECT_EQ(p.joint.child_link_name, "b");
  EXPECT_EQ(p.joint.axis.z, 2.0) << "the axis is kept as written";
  EXPECT_EQ(p.joint.parent_to_joint_origin_transform.rpy.x, 1.5707963267948966);
  EXPECT_EQ(p.joint.parent_to_joint_origin_transform.rpy.y, -0.5);
  EXPECT_EQ(p.joint.limits->lower, -1.0);
  EXPECT_EQ(p.joint.limits->velocity, 2.0);
  EXPECT_EQ(p.joint.safety->soft_upper_limit, 0.9);
  EXPECT_EQ(p.joint.safety->k_position, 0.0);
  ASSERT_TRUE(p.joint.calibration->rising);
  EXPECT_EQ(*p.joint.calibration->rising, 0.25);
  EXPECT_FALSE(p.joint.calibration->falling);
  EXPECT_EQ(p.joint.calibration->reference_position, 0.0);
  EXPECT_EQ(p.joint.dynamics->damping, 0.5);
  EXPECT_FALSE(p.joint.mimic);
}

TEST(Joint, AxisDefaults)
{
  EXPECT_EQ(parse(joint("continuous", "")).joint.axis.x, 1.0);
  const Parsed no_xyz = parse(joint("continuous", "<axis/>"));
  EXPECT_EQ(no_xyz.joint.axis.x, 0.0);
  EXPECT_EQ(no_xyz.joint.axis.z, 0.0);
  EXPECT_EQ(parse(joint("fixed", "")).joint.axis.x, 0.0);
  EXPECT_TRUE(parse(joint("continuous", "")).ok) << "a continuous joint needs no limit";
}

TEST(Joint, MimicKeepsItsSourceWithDefaults)
{
  const Parsed p = parse(joint("prismatic", R"(<limit effort="1" velocity="1" upper="0.04"/><mimic joint="finger"/>)"));
  ASSERT_TRUE(p.ok);
  ASSERT_TRUE(p.joint.mimic);
  EXPECT_EQ(p.joint.mimic->joint_name, "finger");
  EXPECT_EQ(p.joint.mimic->multiplier, 1.0);
  EXPECT_EQ(p.joint.mimic->offset, 0.0);
}

struct Fault
{
  std::string xml;
  // The first message, then the joint's message that ends the element (line 0: none).
  std::string source;
  int line;
  std::string message;
  int closing_line;
  std::string closing_message;
};

class JointFaults : public testing::TestWithParam<Fault>
{
};

TEST_P(JointFaults, FailWithTheirMessagesInOrder)
{
  const Fault& f = GetParam();
  ConsoleCapture capture;
  const Parsed p = parse(f.xml);
  EXPECT_FALSE(p.ok);
  const auto errors = capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR);
  ASSERT_EQ(errors.size(), f.closing_line ? 2u : 1u) << errors[0].text;
  EXPECT_EQ(errors[0].source, f.source);
  EXPECT_EQ(errors[0].line, f.line);
  EXPECT_EQ(errors[0].text, f.message);
  if (f.closing_line)
  {
    EXPECT_EQ(errors[1].source, kJoint);
    EXPECT_EQ(errors[1].line, f.closing_line);
    EXPECT_EQ(errors[1].text, f.closing_message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Urdf, JointFaults,
    testing::Values(
        Fault{"<joint type=\"fixed\"/>", kJoint, 345, "unnamed joint found", 0, ""},
        Fault{joint("fixed", "<origin xyz=\"1\"/>"), kPose, 102,
              "Parser found 1 elements but 3 expected while parsing vector [1]", 362,
              "Malformed parent origin element for joint [j]"},
        Fault{"<joint name=\"j\"/>", kJoint, 401, "joint [j] has no type, check to see if it's a reference.", 0, ""},
        Fault{joint("Revolute", ""), kJoint, 420, "Joint [j] has no known type [Revolute]", 0, ""},
        Fault{joint("revolute", "<axis xyz=\"0 0 a\"/>"), kJoint, 440,
              "Malformed axis element for joint [j]: Unable to parse component [a] to a double (while parsing a "
              "vector value)",
              0, ""},
        Fault{joint("revolute", ""), kJoint, 461, "Joint [j] is of type REVOLUTE but it does not specify limits", 0,
              ""},
        Fault{joint("prismatic", ""), kJoint, 466, "Joint [j] is of type PRISMATIC without limits", 0, ""},
        Fault{joint("revolute", "<limit velocity=\"1\"/>"), kJoint, 136, "joint limit: no effort", 454,
              "Could not parse limit element for joint [j]"},
        Fault{joint("revolute", "<limit effort=\"1\" velocity=\"1\" lower=\"%n\"/>"), kJoint, 112,
              "lower value (%n) is not a valid float", 454, "Could not parse limit element for joint [j]"},
        Fault{joint("revolute", "<limit effort=\"1\" velocity=\"1\" lower=\"1\" upper=\"-1\"/>"), kJoint, 164,
              "joint limit: lower (1.000000) is greater than upper (-1.000000)", 454,
              "Could not parse limit element for joint [j]"},
        Fault{joint("continuous", "<safety_controller k_position=\"1\"/>"), kJoint, 226, "joint safety: no k_velocity",
              477, "Could not parse safety element for joint [j]"},
        Fault{joint("continuous", "<calibration falling=\"x\"/>"), kJoint, 275,
              "falling value (x) is not a valid float", 490, "Could not parse calibration element for joint  [j]"},
        Fault{joint("continuous", "<mimic multiplier=\"2\"/>"), kJoint, 292, "joint mimic: no mimic joint specified",
              503, "Could not parse mimic element for joint  [j]"},
        Fault{joint("continuous", "<dynamics/>"), kJoint, 88,
              "joint dynamics element specified with no damping and no friction", 516,
              "Could not parse joint_dynamics element for joint [j]"}));

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
