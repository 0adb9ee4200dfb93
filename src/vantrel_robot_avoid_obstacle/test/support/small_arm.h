#pragma once

#include <memory>

#include "robot_model/urdf_parser/urdf_parser.h"

// A small arm for the SRDF loader: base_link -joint1-> link1 -joint2-> link2, which carries the tool and the camera;
// the tool carries two prismatic fingers, finger_b mimicking finger_a.
inline const urdf::ModelInterface& smallArm()
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
