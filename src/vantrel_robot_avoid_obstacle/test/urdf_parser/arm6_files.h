#pragma once

#include <fstream>
#include <iterator>
#include <string>

// The arm description the whole system uses.
inline const std::string kArm6Dir =
    std::string(RAO_SOURCE_DIR) + "/src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/";
inline const std::string kArm6Urdf = kArm6Dir + "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
inline const std::string kArm6Srdf = kArm6Dir + "srdf/arm6_and_whole_gripper_linker.srdf";

inline std::string readFile(const std::string& path)
{
  std::ifstream stream(path);
  return std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}
