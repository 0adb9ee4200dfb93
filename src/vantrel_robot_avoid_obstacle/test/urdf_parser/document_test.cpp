// Document level: reading, robot element, registration, material binding, tree and root.
#include <cstdio>
#include <fstream>
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

TEST(ParseFile, MissingOrEmptyFileGivesOneError)
{
  {
    ConsoleCapture capture;
    EXPECT_FALSE(urdf::parseURDFFile("/nonexistent/%s%n%d.urdf"));
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kModel, 55, "File /nonexistent/%s%n%d.urdf does not exist"));
  }
  const std::string path = testing::TempDir() + "empty.urdf";
  std::ofstream(path).close();
  ConsoleCapture capture;
  EXPECT_FALSE(urdf::parseURDFFile(path));
  std::remove(path.c_str());
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].line, 99);
  EXPECT_EQ(capture.messages()[0].level, CONSOLE_BRIDGE_LOG_ERROR);
  EXPECT_FALSE(capture.messages()[0].text.empty()) << "the XML library's description";
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

TEST(ParseDocument, DeepNestingIsRefusedHoweverTheMarkupAroundItIsWritten)
{
  ConsoleCapture capture;
  // robot and link add two levels.
  EXPECT_TRUE(urdf::parseURDF(robot("<link name=\"a\"><!-- <x><x> --><![CDATA[<x><x>]]>" + nested(98) + "</link>")));
  EXPECT_FALSE(urdf::parseURDF(robot("<link name=\"a\">" + nested(99) + "</link>")));
  EXPECT_TRUE(
      capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kModel, 96, "XML elements are nested more than 100 levels deep"));
  // Quotes the XML library does not read as quotes, and end tags that close nothing, hide no nesting.
  std::string stray_end_tags;
  for (int i = 0; i < 300000; ++i)
  {
    stray_end_tags += "</e>";
  }
  for (const std::string& prefix : {std::string("<?x \"?>"), std::string("<!x '>"), stray_end_tags})
  {
    EXPECT_FALSE(urdf::parseURDF(prefix + robot(nested(200000))));
  }
}

TEST(ParseDocument, TextThatIsNotUtf8IsRefusedBeforeTheXmlLibraryReadsIt)
{
  using namespace std::string_literals;
  const auto expectRefused = [](const std::string& text) {
    ConsoleCapture capture;
    EXPECT_FALSE(urdf::parseURDF(text));
    EXPECT_EQ(capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR).size(), 1u);
  };
  // A lead byte at the very end made the library step over the terminator and read on, here into a link left in
  // the string's spare capacity.
  std::string truncated = "<?xml version=\"1.0\"?><robot name=\"r\">\xDA"s + '\0' + "<link name=\"a\"/></robot>";
  truncated.resize(38);
  expectRefused(truncated);
  expectRefused(robot("<link name=\"a\xC3\"/>"));
  expectRefused(robot("<link name=\"\xC0\xAF\"/>"));      // overlong
  expectRefused(robot("<link name=\"\xED\xA0\x80\"/>"));  // surrogate
  expectRefused(robot("<link name=\"a\"/>") + '\0' + "<link name=\"b\"/>");
  const auto model = urdf::parseURDF("\xEF\xBB\xBF" + robot("<link name=\"\xC3\xA4rm_\xF0\x9F\x98\x80\"/>"));
  ASSERT_TRUE(model);
  EXPECT_TRUE(model->getLink("\xC3\xA4rm_\xF0\x9F\x98\x80"));
}

TEST(MaterialBinding, RobotLevelMaterialWinsAndVisualMaterialsAreShared)
{
  ConsoleCapture capture;
  const auto model = urdf::parseURDF(robot(R"(
    <material name="red"><color rgba="1 0 0 1"/></material><material name="plain"/>
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
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_DEBUG, kModel, 78,
                               "urdf_parser: link 'b' material 'green' defined in Visual."));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_WARN, kModel, 83, "link 'c' material 'nowhere' undefined."));

  // A robot-level material without a colour is reported and kept.
  ASSERT_TRUE(model->getMaterial("plain"));
  EXPECT_EQ(model->getMaterial("plain")->color.a, 1.0f);
  EXPECT_TRUE(
      capture.contains(CONSOLE_BRIDGE_LOG_ERROR, "urdf_parser/link", 101, "Material [plain] color has no rgba"));
  EXPECT_TRUE(
      capture.contains(CONSOLE_BRIDGE_LOG_ERROR, "urdf_parser/link", 102, "Material [plain] not defined in file"));
}

TEST(Tree, ChildrenComeInJointNameOrderWithTheirLinks)
{
  const auto model = urdf::parseURDF(robot("<link name=\"base\"/><link name=\"x\"/><link name=\"y\"/>" +
                                           joint("b_joint", "base", "x") + joint("a_joint", "base", "y")));
  ASSERT_TRUE(model);
  const auto base = model->getRoot();
  ASSERT_EQ(base->name, "base");
  EXPECT_FALSE(base->parent_joint);
  ASSERT_EQ(base->child_joints.size(), 2u);
  EXPECT_EQ(base->child_joints[0]->name, "a_joint");
  EXPECT_EQ(base->child_links[0]->name, "y");
  EXPECT_EQ(base->child_links[1]->name, "x");
  EXPECT_EQ(model->getLink("x")->getParent(), base);
  EXPECT_EQ(model->getLink("x")->parent_joint->name, "b_joint");
}

// Each description is refused with exactly one error: robot element, duplicate names, and anything that is not a tree.
TEST(ParseDocument, FaultsAreRefusedWithTheirMessage)
{
  const std::string three_links = "<link name=\"a\"/><link name=\"b\"/><link name=\"c\"/>";
  const struct
  {
    std::string text;
    int line;
    std::string message;
  } cases[] = {
      {"<model name=\"r\"/>", 108, "Could not find the 'robot' element in the xml file"},
      {"<robot><link name=\"a\"/></robot>", 117, "No name given for the robot."},
      {robot(""), 205, "No link elements found in urdf file"},
      {robot("<material name=\"m\"><color rgba=\"1 0 0 1\"/></material><material name=\"m\"><color "
             "rgba=\"1 0 0 1\"/></material><link name=\"a\"/>"),
       148, "material 'm' is not unique."},
      {robot("<link name=\"a\"/><link name=\"a\"/>"), 177, "link 'a' is not unique."},
      {robot("<link name=\"a\"/><link name=\"b\"/>" + joint("j", "a", "b") + joint("j", "a", "b")), 220,
       "joint 'j' is not unique."},
      // Run-time text is an argument, never the format.
      {robot("<link name=\"a\"/><link name=\"b%s\"/>"), 263,
       "Failed to find root link: Two root links found: [a] and [b%s]"},
      {robot(three_links + joint("j1", "a", "b") + "<joint name=\"j2\" type=\"fixed\"><child link=\"c\"/></joint>"),
       251,
       "Failed to build tree: Joint [j2] is missing a parent and/or child link speci"
       "fication."},
      {robot(three_links + joint("j1", "a", "z")), 251, "Failed to build tree: child link [z] of joint [j1] not found"},
      {robot(three_links + joint("j1", "z", "b")), 251,
       "Failed to build tree: parent link [z] of joint [j1] not found.  This is not valid according to the URDF spec. "
       "Every link you refer to from a joint needs to be explicitly defined in the robot description. To fix this "
       "problem you can either remove this joint [j1] from your urdf file, or add \"<link name=\"z\" />\" to your "
       "urdf file."},
      {robot(three_links + joint("j1", "a", "b") + joint("j2", "a", "c") + joint("j3", "b", "c")), 251,
       "Failed to build tree: link [c] is the child of two joints: [j2] and [j3]. The robot xml is not a valid tree."},
      {robot(three_links + joint("j1", "a", "b") + joint("j2", "a", "c") + joint("j3", "c", "c")), 251,
       "Failed to build tree: Joint [j3] has the link [c] as both parent and child. The robot xml is not a valid "
       "tree."},
      {robot(three_links + "<link name=\"d\"/>" + joint("j1", "a", "b") + joint("j2", "c", "d") +
             joint("j3", "d", "c")),
       263,
       "Failed to find root link: link [c] is not reachable from the root link [a]; its joints form a cycle. The robot "
       "xml is not a valid tree."},
      {robot(three_links + joint("j1", "a", "b") + joint("j2", "b", "c") + joint("j3", "c", "a")), 263,
       "Failed to find root link: No root link found. The robot xml is not a valid tree."},
  };
  for (const auto& c : cases)
  {
    ConsoleCapture capture;
    EXPECT_FALSE(urdf::parseURDF(c.text)) << c.text;
    const auto errors = capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR);
    ASSERT_EQ(errors.size(), 1u) << c.text;
    EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kModel, c.line, c.message)) << errors[0].text;
  }
}
}  // namespace
