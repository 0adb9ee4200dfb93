// Document level: reading, robot element, registration, material binding, tree and root.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"

namespace
{
using console_bridge::CONSOLE_BRIDGE_LOG_DEBUG;
using console_bridge::CONSOLE_BRIDGE_LOG_ERROR;
using console_bridge::CONSOLE_BRIDGE_LOG_WARN;
constexpr const char* kModel = "urdf_parser/model";

std::string robot(const std::string& body)
{
  return "<robot name=\"r\">" + body + "</robot>";
}

std::string joint(const std::string& name, const std::string& parent, const std::string& child)
{
  return "<joint name=\"" + name + "\" type=\"fixed\"><parent link=\"" + parent + "\"/><child link=\"" + child +
         "\"/></joint>";
}

TEST(ParseFile, MissingFileGivesOneError)
{
  ConsoleCapture capture;
  const std::string path = "/nonexistent/dir/robot.urdf";
  EXPECT_FALSE(urdf::parseURDFFile(path));
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kModel, 55, "File " + path + " does not exist"));
}

TEST(ParseFile, EmptyFileGivesTheXmlLibrarysDescription)
{
  const std::string path = testing::TempDir() + "empty.urdf";
  std::ofstream(path).close();
  ConsoleCapture capture;
  EXPECT_FALSE(urdf::parseURDFFile(path));
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].line, 99);
  EXPECT_EQ(capture.messages()[0].level, CONSOLE_BRIDGE_LOG_ERROR);
  EXPECT_FALSE(capture.messages()[0].text.empty());
  std::remove(path.c_str());
}

TEST(ParseDocument, RobotElementFaults)
{
  const struct
  {
    std::string text;
    int line;
    const char* message;
  } cases[] = {
      {"<model name=\"r\"/>", 108, "Could not find the 'robot' element in the xml file"},
      {"<robot><link name=\"a\"/></robot>", 117, "No name given for the robot."},
      {robot(""), 205, "No link elements found in urdf file"},
      {robot("<material name=\"m\"><color rgba=\"1 0 0 1\"/></material><material name=\"m\"><color rgba=\"1 0 0 "
             "1\"/></material><link name=\"a\"/>"),
       148, "material 'm' is not unique."},
      {robot("<link name=\"a\"/><link name=\"a\"/>"), 177, "link 'a' is not unique."},
      {robot("<link name=\"a\"/><link name=\"b\"/>" + joint("j", "a", "b") + joint("j", "a", "b")), 220,
       "joint 'j' is not unique."},
  };
  for (const auto& c : cases)
  {
    ConsoleCapture capture;
    EXPECT_FALSE(urdf::parseURDF(c.text)) << c.text;
    EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kModel, c.line, c.message)) << c.text;
  }
}

TEST(ParseDocument, RunTimeTextIsNeverTakenAsAFormat)
{
  ConsoleCapture capture;
  EXPECT_FALSE(urdf::parseURDFFile("/nonexistent/%s%n%d.urdf"));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kModel, 55, "File /nonexistent/%s%n%d.urdf does not exist"));
  EXPECT_FALSE(urdf::parseURDF(robot("<link name=\"a\"/><link name=\"b%s\"/>")));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kModel, 263,
                               "Failed to find root link: Two root links found: [a] and [b%s]"));
}

std::string nested(int depth)
{
  std::string text;
  for (int i = 0; i < depth; ++i)
  {
    text += "<e a=\"<>\">";
  }
  for (int i = 0; i < depth; ++i)
  {
    text += "</e>";
  }
  return text;
}

TEST(ParseDocument, DeepNestingIsRefusedBeforeTheXmlLibraryRecursesIntoIt)
{
  ConsoleCapture capture;
  // robot and link add two levels.
  EXPECT_TRUE(urdf::parseURDF(robot("<link name=\"a\"><!-- <x><x> --><![CDATA[<x><x>]]>" + nested(98) + "</link>")));
  EXPECT_FALSE(urdf::parseURDF(robot("<link name=\"a\">" + nested(99) + "</link>")));
  EXPECT_TRUE(
      capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kModel, 96, "XML elements are nested more than 100 levels deep"));
  EXPECT_FALSE(urdf::parseURDF(robot(nested(200000))));
}

TEST(MaterialBinding, RobotLevelMaterialWinsAndVisualMaterialsAreShared)
{
  ConsoleCapture capture;
  const auto model = urdf::parseURDF(robot(R"(
    <material name="red"><color rgba="1 0 0 1"/></material>
    <link name="a">
      <visual><geometry><sphere radius="1"/></geometry>
        <material name="red"><color rgba="0 0 1 1"/></material></visual>
    </link>
    <link name="b">
      <visual><geometry><sphere radius="1"/></geometry>
        <material name="green"><color rgba="0 1 0 1"/></material></visual>
    </link>
    <link name="c">
      <visual><geometry><sphere radius="1"/></geometry><material name="green"/></visual>
      <visual><geometry><sphere radius="1"/></geometry><material name="nowhere"/></visual>
    </link>)" + joint("ja", "a", "b") + joint("jb", "a", "c")));
  ASSERT_TRUE(model);
  const auto red = model->getMaterial("red");
  EXPECT_EQ(model->getLink("a")->visual->material, red);
  EXPECT_EQ(red->color.r, 1.0f);
  const auto green = model->getMaterial("green");
  ASSERT_TRUE(green);
  EXPECT_EQ(green->color.g, 1.0f);
  EXPECT_EQ(model->getLink("c")->visual->material, green);
  EXPECT_FALSE(model->getLink("c")->visual_array[1]->material);
  EXPECT_EQ(model->getLink("c")->visual_array[1]->material_name, "nowhere");
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_DEBUG, kModel, 78,
                               "urdf_parser: link 'b' material 'green' defined in Visual."));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_WARN, kModel, 83, "link 'c' material 'nowhere' undefined."));
}

TEST(MaterialBinding, RobotLevelMaterialWithoutColourIsReportedAndKept)
{
  ConsoleCapture capture;
  const auto model = urdf::parseURDF(robot("<material name=\"m\"/><link name=\"a\"/>"));
  ASSERT_TRUE(model);
  ASSERT_TRUE(model->getMaterial("m"));
  EXPECT_EQ(model->getMaterial("m")->color.a, 1.0f);
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, "urdf_parser/link", 101, "Material [m] color has no rgba"));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, "urdf_parser/link", 102, "Material [m] not defined in file"));
}

TEST(Tree, ChildrenComeInJointNameOrderWithTheirLinks)
{
  const auto model = urdf::parseURDF(robot("<link name=\"base\"/><link name=\"x\"/><link name=\"y\"/>" +
                                           joint("b_joint", "base", "x") + joint("a_joint", "base", "y")));
  ASSERT_TRUE(model);
  const auto base = model->getRoot();
  ASSERT_EQ(base->name, "base");
  ASSERT_EQ(base->child_joints.size(), 2u);
  EXPECT_EQ(base->child_joints[0]->name, "a_joint");
  EXPECT_EQ(base->child_links[0]->name, "y");
  EXPECT_EQ(base->child_joints[1]->name, "b_joint");
  EXPECT_EQ(base->child_links[1]->name, "x");
  EXPECT_EQ(model->getLink("x")->getParent(), base);
  EXPECT_EQ(model->getLink("x")->parent_joint->name, "b_joint");
  EXPECT_FALSE(base->parent_joint);
}

struct TreeFault
{
  std::string body;
  int line;
  std::string message;
};

class TreeFaults : public testing::TestWithParam<TreeFault>
{
};

TEST_P(TreeFaults, RejectedWithTheirMessage)
{
  ConsoleCapture capture;
  EXPECT_FALSE(urdf::parseURDF(robot(GetParam().body)));
  ASSERT_EQ(capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR).size(), 1u);
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kModel, GetParam().line, GetParam().message))
      << capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR)[0].text;
}

const std::string kThreeLinks = "<link name=\"a\"/><link name=\"b\"/><link name=\"c\"/>";

INSTANTIATE_TEST_SUITE_P(
    Urdf, TreeFaults,
    testing::Values(
        TreeFault{kThreeLinks + joint("j1", "a", "b") + "<joint name=\"j2\" type=\"fixed\"><child link=\"c\"/></joint>",
                  251, "Failed to build tree: Joint [j2] is missing a parent and/or child link specification."},
        TreeFault{kThreeLinks + joint("j1", "a", "z"), 251,
                  "Failed to build tree: child link [z] of joint [j1] not found"},
        TreeFault{kThreeLinks + joint("j1", "z", "b"), 251,
                  "Failed to build tree: parent link [z] of joint [j1] not found.  This is not valid according to the "
                  "URDF spec. Every link you refer to from a joint needs to be explicitly defined in the robot "
                  "description. To fix this problem you can either remove this joint [j1] from your urdf file, or "
                  "add \"<link name=\"z\" />\" to your urdf file."},
        TreeFault{kThreeLinks + joint("j1", "a", "b"), 263,
                  "Failed to find root link: Two root links found: [a] and [c]"},
        // Not a tree: two parents, a joint on one link, a cycle beside the root.
        TreeFault{kThreeLinks + joint("j1", "a", "b") + joint("j2", "a", "c") + joint("j3", "b", "c"), 251,
                  "Failed to build tree: link [c] is the child of two joints: [j2] and [j3]. The robot xml is not a "
                  "valid tree."},
        TreeFault{kThreeLinks + joint("j1", "a", "b") + joint("j2", "a", "c") + joint("j3", "c", "c"), 251,
                  "Failed to build tree: Joint [j3] has the link [c] as both parent and child. The robot xml is not a "
                  "valid tree."},
        TreeFault{
            kThreeLinks + "<link name=\"d\"/>" + joint("j1", "a", "b") + joint("j2", "c", "d") + joint("j3", "d", "c"),
            263,
            "Failed to find root link: link [c] is not reachable from the root link [a]; its joints form a "
            "cycle. The robot xml is not a valid tree."},
        TreeFault{kThreeLinks + joint("j1", "a", "b") + joint("j2", "b", "c") + joint("j3", "c", "a"), 263,
                  "Failed to find root link: No root link found. The robot xml is not a valid tree."}));
}  // namespace
