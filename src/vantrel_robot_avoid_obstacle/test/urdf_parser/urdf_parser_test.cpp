// URDF texts, elements and documents; the version faults are the exact-output check of the parser's messages.
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/exception.h"
#include "robot_model/urdf_parser/text.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/arm_descriptions.h"
#include "test/support/console_capture.h"

namespace
{
using console_bridge::CONSOLE_BRIDGE_LOG_ERROR;
using console_bridge::CONSOLE_BRIDGE_LOG_WARN;

std::string robot(const std::string& body)
{
  return "<robot name=\"r\">" + body + "</robot>";
}

std::string joint(const std::string& name, const std::string& parent, const std::string& child)
{
  return "<joint name=\"" + name + "\" type=\"fixed\"><parent link=\"" + parent + "\"/><child link=\"" + child +
         "\"/></joint>";
}

const std::string kSphere = "<geometry><sphere radius=\"0.5\"/></geometry>";

std::string typedJoint(const std::string& type, const std::string& children)
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
  ASSERT_TRUE(parses(typedJoint("revolute", R"(<origin xyz="0.1 0 0.3" rpy="1.5707963267948966 -0.5 0"/>
      <axis xyz="0 0 2"/><limit lower="-1" upper="1" effort="10" velocity="2"/>
      <safety_controller k_velocity="3" soft_upper_limit="0.9"/><calibration rising="0.25"/>
      <dynamics damping="0.5"/><mimic joint="finger"/>)"),
                     j));
  EXPECT_EQ(j.type, urdf::Joint::REVOLUTE);
  EXPECT_EQ(j.axis.z, 2.0);
  EXPECT_EQ(j.limits->lower, -1.0);
  EXPECT_TRUE(j.safety && j.calibration && j.dynamics);
  urdf::Joint continuous;
  EXPECT_TRUE(parses(typedJoint("continuous", ""), continuous));
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
      {typedJoint("fixed", "<origin xyz=\"1\"/>"), "[elbow]"},
      {"<joint name=\"elbow\"/>", "[elbow]"},
      {typedJoint("Revolute", ""), "[elbow]"},
      {typedJoint("revolute", "<limit velocity=\"1\"/>"), "[elbow]"},
      {typedJoint("revolute", "<limit effort=\"1\" velocity=\"1\" lower=\"%n\"/>"), "[elbow]"},
      {typedJoint("revolute", "<limit effort=\"1\" velocity=\"1\" lower=\"1\" upper=\"-1\"/>"), "[elbow]"},
      {typedJoint("continuous", "<safety_controller k_position=\"1\"/>"), "[elbow]"},
      {typedJoint("continuous", "<calibration falling=\"x\"/>"), "[elbow]"},
      {typedJoint("continuous", "<mimic multiplier=\"2\"/>"), "[elbow]"},
      {typedJoint("continuous", "<dynamics/>"), "[elbow]"},
      // Any joint fault drops the model; an unreadable collision too, naming its link.
      {links + typedJoint("revolute", "") + "</robot>", "joint xml"},
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
TEST(ParseDocument, VersionsOtherThanOnePointZeroAreRefusedWithTheirMessages)
{
  const struct
  {
    const char* version;
    const char* message;  // null: accepted quietly
  } cases[] = {
      {"1.0", nullptr},
      {" 1.0", nullptr},
      {"1", "The version attribute should be in the form 'x.y'"},
      {"2.0", "Invalid 'version' specified; only version 1.0 is currently supported"},
      {"a.0", "Version attribute is not an integer"},
      {".0", "One of the fields of the version attribute is blank"},
      {"1.0x", "Extra characters after the version number"},
      {"-1.0", "Version number must be positive"},
  };
  for (const auto& c : cases)
  {
    ConsoleCapture capture;
    const std::string text = "<robot name=\"r\" version=\"" + std::string(c.version) + "\"><link name=\"a\"/></robot>";
    EXPECT_EQ(urdf::parseURDF(text) != nullptr, c.message == nullptr) << c.version;
    const auto reports = capture.atLeast(CONSOLE_BRIDGE_LOG_WARN);
    ASSERT_EQ(reports.size(), c.message ? 1u : 0u) << c.version;
    if (c.message)
    {
      EXPECT_EQ(reports[0].level, CONSOLE_BRIDGE_LOG_ERROR);
      EXPECT_EQ(reports[0].source + ":" + std::to_string(reports[0].line) + " " + reports[0].text,
                std::string("urdf_parser/model:133 ") + c.message);
    }
  }
}

std::string repeated(const std::string& piece, int count)
{
  std::string text;
  for (int i = 0; i < count; ++i)
  {
    text += piece;
  }
  return text;
}

std::string nested(int depth)
{
  return repeated("<e a=\"<>\">", depth) + repeated("</e>", depth);
}

TEST(ParseDocument, DeepNestingAndTextThatIsNotUtf8AreRefusedBeforeTheXmlLibraryReadsThem)
{
  using namespace std::string_literals;
  ConsoleCapture capture;
  // robot and link add two levels.
  EXPECT_TRUE(urdf::parseURDF(robot("<link name=\"a\"><!-- <x><x> --><![CDATA[<x><x>]]>" + nested(98) + "</link>")));
  EXPECT_FALSE(urdf::parseURDF(robot("<link name=\"a\">" + nested(99) + "</link>")));
  EXPECT_TRUE(capture.logged(CONSOLE_BRIDGE_LOG_ERROR, {"100 levels"}));
  // Quotes the XML library does not read as quotes, and end tags that close nothing, hide no nesting.
  for (const std::string& prefix : {std::string("<?x \"?>"), std::string("<!x '>"), repeated("</e>", 300000)})
  {
    EXPECT_FALSE(urdf::parseURDF(prefix + robot(nested(200000))));
  }

  // Text that is not UTF-8 is refused before the XML library reads it. A lead byte at the very end made the library
  // step over the terminator and read on, here into a link left in the string's spare capacity.
  std::string truncated = "<?xml version=\"1.0\"?><robot name=\"r\">\xDA"s + '\0' + "<link name=\"a\"/></robot>";
  truncated.resize(38);
  for (const std::string& text : {truncated, robot("<link name=\"a\xC3\"/>"),
                                  robot("<link name=\"\xC0\xAF\"/>"),      // overlong
                                  robot("<link name=\"\xED\xA0\x80\"/>"),  // surrogate
                                  robot("<link name=\"a\"/>") + '\0' + "<link name=\"b\"/>"})
  {
    ConsoleCapture capture;
    EXPECT_FALSE(urdf::parseURDF(text));
    EXPECT_EQ(capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR).size(), 1u);
  }
  const auto model = urdf::parseURDF("\xEF\xBB\xBF" + robot("<link name=\"\xC3\xA4rm_\xF0\x9F\x98\x80\"/>"));
  ASSERT_TRUE(model);
  EXPECT_TRUE(model->getLink("\xC3\xA4rm_\xF0\x9F\x98\x80"));
}

// Children come in joint name order; a robot-level material wins over a visual's, and visual materials are shared.
TEST(ParseDocument, TreeOrderMaterialsAndVisualFaults)
{
  ConsoleCapture capture;
  const auto model = urdf::parseURDF(robot(R"(
    <material name="red"><color rgba="1 0 0 1"/></material><material name="plain"/>
    <link name="a"><visual><geometry><sphere radius="1"/></geometry>
      <material name="red"><color rgba="0 0 1 1"/></material></visual></link>
    <link name="b"><visual><geometry><sphere radius="1"/></geometry>
      <material name="green"><color rgba="0 1 0 1"/></material></visual></link>
    <link name="c">
      <visual><geometry><sphere radius="1"/></geometry><material name="green"/></visual>
      <visual><geometry><sphere radius="1"/></geometry><material name="nowhere"/></visual></link>
    <link name="d">
      <visual name="v1"><geometry><sphere radius="1"/></geometry></visual><visual name="bad"><geometry/></visual>
      <visual name="v3"><geometry><sphere radius="1"/></geometry></visual>
      <visual><geometry><sphere radius="1"/></geometry><material><color rgba="1 0 0 1"/></material></visual>
      <inertial><mass value="1"/><inertia ixx="1" ixy="0" ixz="0" iyy="1" iyz="0"/></inertial>
      <collision><geometry><sphere radius="1"/></geometry></collision>
    </link>)" + joint("jb", "a", "b") + joint("ja", "a", "c") + joint("jd", "a", "d")));
  ASSERT_TRUE(model);
  const auto root = model->getRoot();
  ASSERT_EQ(root->name, "a");
  ASSERT_EQ(root->child_joints.size(), 3u);
  EXPECT_EQ(root->child_joints[0]->name + root->child_links[0]->name, "jac");
  EXPECT_EQ(root->visual->material, model->getMaterial("red"));
  EXPECT_EQ(model->getMaterial("red")->color.r, 1.0f);
  EXPECT_EQ(model->getLink("c")->visual->material, model->getMaterial("green"));
  EXPECT_EQ(model->getMaterial("green")->color.g, 1.0f);
  EXPECT_FALSE(model->getLink("c")->visual_array[1]->material);
  EXPECT_TRUE(capture.logged(CONSOLE_BRIDGE_LOG_WARN, {"'c'", "'nowhere'"}));
  // A robot-level material without a colour is reported and kept.
  ASSERT_TRUE(model->getMaterial("plain"));
  EXPECT_TRUE(capture.logged(CONSOLE_BRIDGE_LOG_ERROR, {"[plain]"}));
  // Visual, material and inertial faults are reported and skipped; the collisions are still read.
  const auto d = model->getLink("d");
  ASSERT_EQ(d->visual_array.size(), 2u);
  EXPECT_EQ(d->visual_array[1]->name, "v3");
  EXPECT_TRUE(d->collision);
  EXPECT_TRUE(capture.logged(CONSOLE_BRIDGE_LOG_ERROR, {"visual", "Link [d]"}));
  EXPECT_TRUE(capture.logged(CONSOLE_BRIDGE_LOG_ERROR, {"Visual material", "name"}));
  EXPECT_TRUE(capture.logged(CONSOLE_BRIDGE_LOG_ERROR, {"inertial", "Link [d]"}));
}

// Each description is refused with exactly one error, naming what is wrong: robot element, duplicate names, and
// anything that is not a tree.
TEST(ParseDocument, FaultsAreRefusedWithOneErrorNamingTheFault)
{
  const std::string three_links = "<link name=\"a\"/><link name=\"b\"/><link name=\"c\"/>";
  const std::string red = "<material name=\"m\"><color rgba=\"1 0 0 1\"/></material>";
  const struct
  {
    std::string text;
    std::vector<std::string> names;
  } cases[] = {
      {"<model name=\"r\"/>", {"'robot'"}},
      {"<robot><link name=\"a\"/></robot>", {"name", "robot"}},
      {robot(""), {"No link"}},
      {robot(red + red + "<link name=\"a\"/>"), {"material 'm'", "unique"}},
      {robot("<link name=\"a\"/><link name=\"a\"/>"), {"link 'a'", "unique"}},
      {robot("<link name=\"a\"/><link name=\"b\"/>" + joint("j", "a", "b") + joint("j", "a", "b")),
       {"joint 'j'", "unique"}},
      // Run-time text is an argument, never the format.
      {robot("<link name=\"a\"/><link name=\"b%s\"/>"), {"[a]", "[b%s]"}},
      {robot(three_links + joint("j1", "a", "b") + "<joint name=\"j2\" type=\"fixed\"><child link=\"c\"/></joint>"),
       {"[j2]", "parent"}},
      {robot(three_links + joint("j1", "a", "z")), {"child link [z]", "[j1]"}},
      {robot(three_links + joint("j1", "z", "b")), {"parent link [z]", "[j1]"}},
      {robot(three_links + joint("j1", "a", "b") + joint("j2", "a", "c") + joint("j3", "b", "c")),
       {"[c]", "[j2]", "[j3]"}},
      {robot(three_links + joint("j1", "a", "b") + joint("j2", "a", "c") + joint("j3", "c", "c")), {"[j3]", "[c]"}},
      {robot(three_links + "<link name=\"d\"/>" + joint("j1", "a", "b") + joint("j2", "c", "d") +
             joint("j3", "d", "c")),
       {"[c]", "cycle"}},
      {robot(three_links + joint("j1", "a", "b") + joint("j2", "b", "c") + joint("j3", "c", "a")), {"No root"}},
  };
  for (const auto& c : cases)
  {
    ConsoleCapture capture;
    EXPECT_FALSE(urdf::parseURDF(c.text)) << c.text;
    const auto errors = capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR);
    ASSERT_EQ(errors.size(), 1u) << c.text;
    for (const std::string& name : c.names)
    {
      EXPECT_NE(errors[0].text.find(name), std::string::npos) << name << " in " << errors[0].text;
    }
  }
}

TEST(Arm6Urdf, ParsesQuietlyWithItsMaterialsRootAndOriginsAsWritten)
{
  ConsoleCapture capture;
  const auto model = urdf::parseURDFFile(arm_descriptions::kArm6Dir + arm_descriptions::kArm6Urdf);
  ASSERT_TRUE(model);
  EXPECT_TRUE(capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_WARN).empty());
  EXPECT_EQ(model->materials_.size(), 3u);
  EXPECT_EQ(model->getLink("link1")->visual->material, model->getMaterial("orange"));
  EXPECT_EQ(model->getRoot()->name, "base_link");
  const urdf::Pose& origin = model->getJoint("joint2")->parent_to_joint_origin_transform;
  EXPECT_EQ(origin.rpy.y, -1.5707963267948966);
  // Roll pi/2 about x, then pitch -pi/2 about the fixed y axis.
  const urdf::Rotation& q = origin.rotation;
  EXPECT_LT(std::abs(q.x - 0.5) + std::abs(q.y + 0.5) + std::abs(q.z - 0.5) + std::abs(q.w - 0.5), 1e-15);
}
}  // namespace
