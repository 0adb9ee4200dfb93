// Link, visual, collision, geometry and inertial elements.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"

namespace
{
using console_bridge::CONSOLE_BRIDGE_LOG_ERROR;
constexpr const char* kLink = "urdf_parser/link";

const char* const kSphere = "<geometry><sphere radius=\"0.5\"/></geometry>";

std::shared_ptr<urdf::ModelInterface> parseLinks(const std::string& links)
{
  return urdf::parseURDF("<robot name=\"r\">" + links + "</robot>");
}

std::shared_ptr<urdf::Geometry> geometry(const std::string& shape)
{
  TiXmlDocument document;
  document.Parse(("<geometry>" + shape + "</geometry>").c_str());
  return urdf::parseGeometry(document.RootElement());
}

TEST(Link, VisualInertialAndMaterialFaultsLeaveTheCollisionsRead)
{
  ConsoleCapture capture;
  const std::string sphere = kSphere;
  const auto model = parseLinks(R"(<link name="a"><visual name="v1">)" + sphere + R"(</visual>
      <visual name="bad"><geometry/></visual>
      <visual name="v3">)" + sphere + R"(</visual>
      <visual>)" + sphere + R"(<material><color rgba="1 0 0 1"/></material></visual>
      <inertial><mass value="1"/><inertia ixx="1" ixy="0" ixz="0" iyy="1" iyz="0"/></inertial>
      <collision>)" + sphere + R"(</collision></link>)");
  ASSERT_TRUE(model);
  const auto link = model->getLink("a");
  ASSERT_EQ(link->visual_array.size(), 2u);
  EXPECT_EQ(link->visual_array[1]->name, "v3");
  EXPECT_EQ(link->visual, link->visual_array[0]);
  EXPECT_TRUE(link->collision);
  for (const auto& [line, text] : std::vector<std::pair<int, std::string>>{
           {227, "Geometry tag contains no child element."},
           {453, "Could not parse visual element for Link [a]"},
           {375, "Visual material must contain a name attribute"},
           {325, "Inertial: inertia element missing izz attribute"},
           {435, "Could not parse inertial element for Link [a]"}})
  {
    EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, line, text)) << text;
  }
}

TEST(Link, UnreadableCollisionRejectsTheDescriptionNamingTheLink)
{
  ConsoleCapture capture;
  const std::string sphere = kSphere;
  EXPECT_FALSE(parseLinks("<link name=\"hand\"><collision>" + sphere + "</collision><collision><origin xyz=\"0 0\"/>" +
                          sphere + "</collision></link>"));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, "urdf_parser/pose", 102,
                               "Parser found 2 elements but 3 expected while parsing vector [0 0]"));
  EXPECT_TRUE(
      capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, 475, "Could not parse collision element for Link [hand]"));
  EXPECT_TRUE(
      capture.contains(CONSOLE_BRIDGE_LOG_ERROR, "urdf_parser/model", 188,
                       "link 'hand' has a collision element that cannot be read; the robot description is rejected"));
}

TEST(Link, NamelessLinkAndMalformedColourAreReportedAndKept)
{
  ConsoleCapture capture;
  const auto model = parseLinks("<material name=\"m\"><color rgba=\"1 0 0 1.5\"/></material><link/>");
  ASSERT_TRUE(model);
  EXPECT_EQ(model->getRoot()->name, "");
  EXPECT_EQ(model->getMaterial("m")->color.r, 0.0f) << "left black";
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, 423, "No name given for the link."));
  EXPECT_TRUE(capture.contains(
      CONSOLE_BRIDGE_LOG_ERROR, kLink, 93,
      "Material [m] has malformed color rgba values: Component [1.5] is outside the valid range for colors [0, 1]"));
}

TEST(Geometry, ShapesAndTheirFaults)
{
  const auto box = std::dynamic_pointer_cast<urdf::Box>(geometry("<box size=\"1 2 3\"/>"));
  ASSERT_TRUE(box);
  EXPECT_EQ(box->dim.y, 2.0);
  const auto mesh = std::dynamic_pointer_cast<urdf::Mesh>(geometry("<mesh filename=\"m.stl\" scale=\"-1 1 0.001\"/>"));
  ASSERT_TRUE(mesh) << "a negative scale mirrors the mesh";
  EXPECT_EQ(mesh->scale.z, 0.001);
  EXPECT_TRUE(geometry("<sphere radius=\"0\"/>")) << "zero sizes are valid";

  const struct
  {
    const char* shape;
    int line;
    const char* message;
  } cases[] = {
      {"<sphere/>", 117, "Sphere shape must have a radius attribute"},
      {"<sphere radius=\"1 \"/>", 126, "radius [1 ] is not a valid float"},
      {"<sphere radius=\"-0.1\"/>", 130, "Sphere radius [-0.1] must be finite and non-negative"},
      {"<box/>", 140, "Box shape has no size attribute"},
      {"<box size=\"1 2\"/>", 150, "Parser found 2 elements but 3 expected while parsing vector [1 2]"},
      {"<box size=\"1 -2 3\"/>", 154, "Box size [1 -2 3] must be finite and non-negative"},
      {"<cylinder length=\"1\"/>", 164, "Cylinder shape must have both length and radius attributes"},
      {"<cylinder length=\"x\" radius=\"1\"/>", 173, "length [x] is not a valid float"},
      {"<cylinder length=\"1\" radius=\"1x\"/>", 182, "radius [1x] is not a valid float"},
      {"<cylinder length=\"-1\" radius=\"1\"/>", 186,
       "Cylinder length [-1] and radius [1] must be finite and non-negative"},
      {"<mesh/>", 196, "Mesh must contain a filename attribute"},
      {"<mesh filename=\"m\" scale=\"1\"/>", 208,
       "Mesh scale was specified, but could not be parsed: Parser found 1 elements but 3 expected while parsing vector "
       "[1]"},
      {"<capsule/><sphere radius=\"1\"/>", 262, "Unknown geometry type 'capsule'"},
  };
  for (const auto& c : cases)
  {
    ConsoleCapture capture;
    EXPECT_FALSE(geometry(c.shape)) << c.shape;
    ASSERT_EQ(capture.messages().size(), 1u) << c.shape;
    EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, c.line, c.message)) << capture.messages()[0].text;
  }
}
}  // namespace
