#pragma once

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

// The committed test arms: their description directories (absolute, ending with "/") and files within them.
namespace arm_descriptions
{
inline const std::string kRoot =
    std::string(RAO_SOURCE_DIR) + "/src/robot_avoid_obstacle/resources/robot_descriptions/";
inline const std::string kArm6Dir = kRoot + "arm6_description/";
inline const std::string kArm5Dir = kRoot + "arm5_description/";
constexpr const char* kArm6Urdf = "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
constexpr const char* kArm6Srdf = "srdf/arm6_and_whole_gripper_linker.srdf";
constexpr const char* kArm5Urdf = "urdf/arm5.urdf";
constexpr const char* kArm5Srdf = "srdf/arm5.srdf";

inline std::string readFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  if (!in)
  {
    throw std::runtime_error("cannot read " + path);
  }
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
}  // namespace arm_descriptions
