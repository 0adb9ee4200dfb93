// Link, visual, collision, geometry and inertial elements.
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/urdf_parser/logged.h"

namespace
{
using console_bridge::CONSOLE_BRIDGE_LOG_ERROR;

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
  EXPECT_TRUE(link->collision);
  EXPECT_TRUE(logged(capture, CONSOLE_BRIDGE_LOG_ERROR, {"visual", "Link [a]"}));
  EXPECT_TRUE(logged(capture, CONSOLE_BRIDGE_LOG_ERROR, {"Visual material", "name"}));
  EXPECT_TRUE(logged(capture, CONSOLE_BRIDGE_LOG_ERROR, {"inertial", "Link [a]"}));
}

TEST(Link, UnreadableCollisionRejectsTheDescriptionNamingTheLink)
{
  ConsoleCapture capture;
  const std::string sphere = kSphere;
  EXPECT_FALSE(parseLinks("<link name=\"hand\"><collision>" + sphere + "</collision><collision><origin xyz=\"0 0\"/>" +
                          sphere + "</collision></link>"));
  EXPECT_TRUE(logged(capture, CONSOLE_BRIDGE_LOG_ERROR, {"[0 0]"}));
  EXPECT_TRUE(logged(capture, CONSOLE_BRIDGE_LOG_ERROR, {"'hand'", "rejected"}));
}

TEST(Geometry, ShapesAndTheirFaults)
{
  const auto mesh = std::dynamic_pointer_cast<urdf::Mesh>(geometry("<mesh filename=\"m.stl\" scale=\"-1 1 0.001\"/>"));
  ASSERT_TRUE(mesh) << "a negative scale mirrors the mesh";
  EXPECT_EQ(mesh->scale.z, 0.001);
  EXPECT_TRUE(geometry("<sphere radius=\"0\"/>")) << "zero sizes are valid";

  // Each is refused with one error naming the shape or the value at fault.
  const struct
  {
    const char* shape;
    const char* names;
  } cases[] = {
      {"<sphere/>", "Sphere"},
      {"<sphere radius=\"1 \"/>", "[1 ]"},
      {"<sphere radius=\"-0.1\"/>", "[-0.1]"},
      {"<box/>", "Box"},
      {"<box size=\"1 2\"/>", "[1 2]"},
      {"<box size=\"1 -2 3\"/>", "[1 -2 3]"},
      {"<cylinder length=\"1\"/>", "Cylinder"},
      {"<cylinder length=\"x\" radius=\"1\"/>", "[x]"},
      {"<cylinder length=\"1\" radius=\"1x\"/>", "[1x]"},
      {"<cylinder length=\"-1\" radius=\"1\"/>", "[-1]"},
      {"<mesh/>", "Mesh"},
      {"<mesh filename=\"m\" scale=\"1\"/>", "[1]"},
      {"<capsule/><sphere radius=\"1\"/>", "'capsule'"},
  };
  for (const auto& c : cases)
  {
    ConsoleCapture capture;
    EXPECT_FALSE(geometry(c.shape)) << c.shape;
    EXPECT_EQ(capture.messages().size(), 1u) << c.shape;
    EXPECT_TRUE(logged(capture, CONSOLE_BRIDGE_LOG_ERROR, {c.names})) << c.shape;
  }
}
}  // namespace
