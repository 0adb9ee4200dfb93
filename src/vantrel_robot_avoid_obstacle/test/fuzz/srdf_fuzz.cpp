// Fuzz entry point of the SRDF loader, against a fixed small arm.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <console_bridge/console.h>
#include <tinyxml2.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"

namespace
{
const urdf::ModelInterface& arm()
{
  static const std::shared_ptr<urdf::ModelInterface> model = urdf::parseURDF(R"(<robot name="arm">
    <link name="base_link"/><link name="link1"/><link name="link2"/><link name="tool"/><link name="camera"/>
    <link name="finger_a"/><link name="finger_b"/>
    <joint name="joint1" type="continuous"><parent link="base_link"/><child link="link1"/></joint>
    <joint name="joint2" type="continuous"><parent link="link1"/><child link="link2"/></joint>
    <joint name="tool_joint" type="fixed"><parent link="link2"/><child link="tool"/></joint>
    <joint name="camera_joint" type="fixed"><parent link="link2"/><child link="camera"/></joint>
    <joint name="finger_a_joint" type="prismatic"><parent link="tool"/><child link="finger_a"/>
      <limit lower="0" upper="0.04" effort="1" velocity="1"/></joint>
    <joint name="finger_b_joint" type="prismatic"><parent link="tool"/><child link="finger_b"/>
      <limit lower="0" upper="0.04" effort="1" velocity="1"/><mimic joint="finger_a_joint"/></joint>
  </robot>)");
  return *model;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  static const bool quiet = (console_bridge::noOutputHandler(), true);
  (void)quiet;
  // The loader reads whole lines; the document then goes through the same steps as a file's.
  const std::string text(reinterpret_cast<const char*>(data), size);
  tinyxml2::XMLDocument document;
  if (document.Parse(text.c_str(), text.size()) != tinyxml2::XML_SUCCESS)
  {
    return 0;
  }
  srdf::Model model;
  model.initXml(arm(), document.FirstChildElement("robot"));
  return 0;
}
