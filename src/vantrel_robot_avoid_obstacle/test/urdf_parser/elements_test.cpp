// Number, vector and colour texts; joint, link and geometry elements: what a joint reads, and the faults that refuse
// an element or the description.
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/exception.h"
#include "robot_model/urdf_parser/text.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"

namespace
{
using console_bridge::CONSOLE_BRIDGE_LOG_ERROR;

const std::string kSphere = "<geometry><sphere radius=\"0.5\"/></geometry>";

std::string joint(const std::string& type, const std::string& children)
{
  return "<joint name=\"elbow\" type=\"" + type + "\"><parent link=\"a\"/><child link=\"b\"/>" + children + "</joint>";
}

// Parses a robot, a joint or a geometry element, by the element's own parser.
bool parses(const std::string& xml, urdf::Joint& parsed)
{
  if (xml.rfind("<robot", 0) == 0)
  {
    return urdf::parseURDF(xml) != nullptr;
  }
  TiXmlDocument document;
  document.Parse(xml.c_str());
  return xml.rfind("<joint", 0) == 0 ? urdf::parseJoint(parsed, document.RootElement()) :
                                       urdf::parseGeometry(document.RootElement()) != nullptr;
}

TEST(TextRules, NumbersVectorsAndColours)
{
  EXPECT_DOUBLE_EQ(urdf::strToDouble("  -2e3"), -2000.0);
  for (const char* bad : {"1.5 ", "1,5", "1x", "", "nan", "inf", "1e999", static_cast<const char*>(nullptr)})
  {
    EXPECT_THROW(urdf::strToDouble(bad), std::runtime_error) << (bad ? bad : "null");
  }

  urdf::Vector3 v;
  v.init("  1   2 3 ");
  EXPECT_EQ(v.z, 3.0);
  for (const char* bad : {"1 2", "1\t2 3", "1 2 3 4"})
  {
    v.init("1 2 3");
    EXPECT_THROW(v.init(bad), urdf::ParseError) << bad;
    EXPECT_EQ(v.x, 0.0) << bad;
  }

  urdf::Color c;
  c.init("0.5 0.5 0.5");  // a wrong count is silent
  EXPECT_EQ(c.r, 0.0f);
  EXPECT_EQ(c.a, 1.0f);
  c.init("0.25 0.5 0.75 1");
  EXPECT_EQ(c.b, 0.75f);
  for (const char* bad : {"1 0 0 1.5", "1 0 x 1"})
  {
    c.init("1 1 1 1");
    EXPECT_THROW(c.init(bad), urdf::ParseError) << bad;
    EXPECT_EQ(c.r, 0.0f) << bad;
  }
}

// Every child element of a joint is read; the axis is kept as written; a continuous joint needs no limit.
TEST(Elements, JointReadsEveryChildElement)
{
  urdf::Joint j;
  ASSERT_TRUE(parses(joint("revolute", R"(<origin xyz="0.1 0 0.3" rpy="1.5707963267948966 -0.5 0"/>
      <axis xyz="0 0 2"/><limit lower="-1" upper="1" effort="10" velocity="2"/>
      <safety_controller k_velocity="3" soft_upper_limit="0.9"/><calibration rising="0.25"/>
      <dynamics damping="0.5"/><mimic joint="finger"/>)"),
                     j));
  EXPECT_EQ(j.type, urdf::Joint::REVOLUTE);
  EXPECT_EQ(j.axis.z, 2.0);
  EXPECT_EQ(j.limits->lower, -1.0);
  EXPECT_TRUE(j.safety && j.calibration && j.dynamics);
  EXPECT_EQ(j.mimic->multiplier, 1.0);
  urdf::Joint continuous;
  EXPECT_TRUE(parses(joint("continuous", ""), continuous));
  EXPECT_EQ(continuous.axis.x, 1.0);
  EXPECT_TRUE(parses("<geometry><sphere radius=\"0\"/></geometry>", j)) << "zero sizes are valid";
  EXPECT_TRUE(parses("<geometry><mesh filename=\"m.stl\" scale=\"-1 1 0.001\"/></geometry>", j)) << "a mirror";
}

// Each fault is refused at error level, and the last error names the element or the value at fault.
TEST(Elements, FaultsAreRefusedNamingTheElement)
{
  const std::string links = "<robot name=\"r\"><link name=\"a\"/><link name=\"b\"/>";
  const struct
  {
    std::string xml;
    const char* names;
  } faults[] = {
      {"<joint type=\"fixed\"/>", "unnamed joint"},
      {joint("fixed", "<origin xyz=\"1\"/>"), "[elbow]"},
      {"<joint name=\"elbow\"/>", "[elbow]"},
      {joint("Revolute", ""), "[elbow]"},
      {joint("prismatic", ""), "[elbow]"},
      {joint("revolute", "<limit velocity=\"1\"/>"), "[elbow]"},
      {joint("revolute", "<limit effort=\"1\" velocity=\"1\" lower=\"%n\"/>"), "[elbow]"},
      {joint("revolute", "<limit effort=\"1\" velocity=\"1\" lower=\"1\" upper=\"-1\"/>"), "[elbow]"},
      {joint("continuous", "<safety_controller k_position=\"1\"/>"), "[elbow]"},
      {joint("continuous", "<calibration falling=\"x\"/>"), "[elbow]"},
      {joint("continuous", "<mimic multiplier=\"2\"/>"), "[elbow]"},
      {joint("continuous", "<dynamics/>"), "[elbow]"},
      // Any joint fault drops the model; an unreadable collision too, naming its link.
      {links + joint("revolute", "") + "</robot>", "joint xml"},
      {links + "<link name=\"hand\"><collision><origin xyz=\"0 0\"/>" + kSphere + "</collision></link></robot>",
       "'hand'"},
      {"<geometry><sphere/></geometry>", "Sphere"},
      {"<geometry><sphere radius=\"-0.1\"/></geometry>", "[-0.1]"},
      {"<geometry><box/></geometry>", "Box"},
      {"<geometry><box size=\"1 -2 3\"/></geometry>", "[1 -2 3]"},
      {"<geometry><cylinder length=\"1\"/></geometry>", "Cylinder"},
      {"<geometry><cylinder length=\"-1\" radius=\"1\"/></geometry>", "[-1]"},
      {"<geometry><mesh/></geometry>", "Mesh"},
      {"<geometry><capsule/><sphere radius=\"1\"/></geometry>", "'capsule'"},
  };
  for (const auto& c : faults)
  {
    ConsoleCapture capture;
    urdf::Joint parsed;
    EXPECT_FALSE(parses(c.xml, parsed)) << c.xml;
    const auto errors = capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR);
    ASSERT_FALSE(errors.empty()) << c.xml;
    EXPECT_NE(errors.back().text.find(c.names), std::string::npos) << errors.back().text;
  }
}
}  // namespace
