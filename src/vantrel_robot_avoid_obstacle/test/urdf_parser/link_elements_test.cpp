// Link, visual, collision, geometry and inertial elements.
#include <memory>
#include <string>

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

TEST(Link, ListsInFileOrderAndFirstElements)
{
  const auto model = parseLinks(R"(<link name="a">
      <collision name="c1"><geometry><box size="1 2 3"/></geometry></collision>
      <collision name="c2"><origin xyz="0 0 1"/><geometry><cylinder length="2" radius="0.5"/></geometry></collision>
      <collision name="c3"><geometry><mesh filename="package://meshes/a.stl"/></geometry></collision>
    </link>)");
  ASSERT_TRUE(model);
  const auto link = model->getLink("a");
  EXPECT_FALSE(link->visual);
  EXPECT_TRUE(link->visual_array.empty());
  EXPECT_FALSE(link->inertial);
  ASSERT_EQ(link->collision_array.size(), 3u);
  EXPECT_EQ(link->collision, link->collision_array[0]);
  EXPECT_EQ(link->collision_array[2]->name, "c3");
  EXPECT_EQ(link->collision_array[1]->origin.position.z, 1.0);
  const auto mesh = std::dynamic_pointer_cast<urdf::Mesh>(link->collision_array[2]->geometry);
  ASSERT_TRUE(mesh);
  EXPECT_EQ(mesh->type, urdf::Geometry::MESH);
  EXPECT_EQ(mesh->scale.x, 1.0);
}

TEST(Link, MalformedVisualIsSkippedAndCollisionsAreStillRead)
{
  ConsoleCapture capture;
  const auto model = parseLinks(std::string(R"(<link name="a">
      <visual name="v1">)") + kSphere +
                                R"(</visual>
      <visual name="bad"><geometry/></visual>
      <visual name="v3">)" + kSphere +
                                R"(</visual>
      <collision>)" + kSphere + R"(</collision>
    </link>)");
  ASSERT_TRUE(model);
  const auto link = model->getLink("a");
  ASSERT_EQ(link->visual_array.size(), 2u);
  EXPECT_EQ(link->visual_array[1]->name, "v3");
  EXPECT_EQ(link->visual, link->visual_array[0]);
  ASSERT_TRUE(link->collision);
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, 227, "Geometry tag contains no child element."));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, 453, "Could not parse visual element for Link [a]"));
}

TEST(Link, MalformedInertialOrVisualMaterialStillLetsCollisionsBeRead)
{
  ConsoleCapture capture;
  const auto model = parseLinks(std::string(R"(<link name="a">
      <inertial><mass value="1"/><inertia ixx="1" ixy="0" ixz="0" iyy="1" iyz="0"/></inertial>
      <visual>)") + kSphere + R"(<material><color rgba="1 0 0 1"/></material></visual>
      <collision>)" + kSphere + R"(</collision>
    </link>)");
  ASSERT_TRUE(model);
  EXPECT_TRUE(model->getLink("a")->collision);
  EXPECT_TRUE(model->getLink("a")->visual_array.empty());
  EXPECT_TRUE(
      capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, 325, "Inertial: inertia element missing izz attribute"));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, 435, "Could not parse inertial element for Link [a]"));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, 375, "Visual material must contain a name attribute"));
}

TEST(Link, UnreadableCollisionRejectsTheDescriptionNamingTheLink)
{
  ConsoleCapture capture;
  EXPECT_FALSE(parseLinks(std::string(R"(<link name="hand">
      <collision>)") + kSphere +
                          R"(</collision>
      <collision><origin xyz="0 0"/>)" +
                          kSphere + R"(</collision>
    </link>)"));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, "urdf_parser/pose", 102,
                               "Parser found 2 elements but 3 expected while parsing vector [0 0]"));
  EXPECT_TRUE(
      capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, 475, "Could not parse collision element for Link [hand]"));
  EXPECT_TRUE(
      capture.contains(CONSOLE_BRIDGE_LOG_ERROR, "urdf_parser/model", 188,
                       "link 'hand' has a collision element that cannot be read; the robot description is rejected"));
}

TEST(Link, NamelessLinkIsKept)
{
  ConsoleCapture capture;
  const auto model = parseLinks("<link/>");
  ASSERT_TRUE(model);
  EXPECT_EQ(model->getRoot()->name, "");
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, kLink, 423, "No name given for the link."));
}

TEST(Material, MalformedRgbaIsReportedAndLeavesBlack)
{
  ConsoleCapture capture;
  const auto model = parseLinks("<material name=\"m\"><color rgba=\"1 0 0 1.5\"/></material><link name=\"a\"/>");
  ASSERT_TRUE(model);
  EXPECT_EQ(model->getMaterial("m")->color.r, 0.0f);
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
