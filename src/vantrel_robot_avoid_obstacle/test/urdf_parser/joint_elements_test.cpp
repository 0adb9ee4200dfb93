// Joint elements and their properties.
#include <string>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/urdf_parser/logged.h"

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
  return "<joint name=\"elbow\" type=\"" + type + "\"><parent link=\"a\"/><child link=\"b\"/>" + children + "</joint>";
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
  EXPECT_EQ(p.joint.parent_to_joint_origin_transform.rpy.y, -0.5);
  EXPECT_EQ(p.joint.limits->lower, -1.0);
  EXPECT_EQ(p.joint.safety->soft_upper_limit, 0.9);
  EXPECT_FALSE(p.joint.calibration->falling);
  EXPECT_EQ(p.joint.dynamics->damping, 0.5);
  EXPECT_EQ(p.joint.mimic->joint_name, "finger");
  EXPECT_EQ(p.joint.mimic->multiplier, 1.0);
}

TEST(Joint, AxisDefaults)
{
  const Parsed continuous = parse(joint("continuous", ""));
  EXPECT_TRUE(continuous.ok) << "a continuous joint needs no limit";
  EXPECT_EQ(continuous.joint.axis.x, 1.0);
  EXPECT_EQ(parse(joint("continuous", "<axis/>")).joint.axis.x, 0.0) << "an axis without xyz is all zeros";
  EXPECT_EQ(parse(joint("fixed", "")).joint.axis.x, 0.0);
}

// Each fault is refused at error level, and the last error names the joint.
TEST(Joint, FaultsAreRefusedNamingTheJoint)
{
  const std::string faults[] = {
      "<joint type=\"fixed\"/>",
      joint("fixed", "<origin xyz=\"1\"/>"),
      "<joint name=\"elbow\"/>",
      joint("Revolute", ""),
      joint("revolute", "<axis xyz=\"0 0 a\"/>"),
      joint("revolute", ""),
      joint("prismatic", ""),
      joint("revolute", "<limit velocity=\"1\"/>"),
      joint("revolute", "<limit effort=\"1\" velocity=\"1\" lower=\"%n\"/>"),
      joint("revolute", "<limit effort=\"1\" velocity=\"1\" lower=\"1\" upper=\"-1\"/>"),
      joint("continuous", "<safety_controller k_position=\"1\"/>"),
      joint("continuous", "<calibration falling=\"x\"/>"),
      joint("continuous", "<mimic multiplier=\"2\"/>"),
      joint("continuous", "<dynamics/>"),
  };
  for (const std::string& xml : faults)
  {
    ConsoleCapture capture;
    EXPECT_FALSE(parse(xml).ok) << xml;
    const auto errors = capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR);
    ASSERT_FALSE(errors.empty()) << xml;
    const char* const name = xml.find("elbow") == std::string::npos ? "unnamed joint" : "[elbow]";
    EXPECT_NE(errors.back().text.find(name), std::string::npos) << errors.back().text;
  }
}

TEST(Joint, AnyJointFaultDropsTheModel)
{
  ConsoleCapture capture;
  EXPECT_FALSE(
      urdf::parseURDF("<robot name=\"r\"><link name=\"a\"/><link name=\"b\"/>" + joint("revolute", "") + "</robot>"));
  EXPECT_EQ(capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR).size(), 2u);
  EXPECT_TRUE(logged(capture, CONSOLE_BRIDGE_LOG_ERROR, {"joint xml"}));
}
}  // namespace
