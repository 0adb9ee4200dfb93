// Fuzz entry point of mesh loading from bytes: the first byte picks the format hint, the rest is the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include <console_bridge/console.h>

#include "robot_model/shapes/mesh_operations.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  [[maybe_unused]] static const bool quiet = (console_bridge::noOutputHandler(), true);
  static const char* const kHints[] = { "mesh.stl", "mesh.dae", "mesh.obj" };
  if (size < 2)
  {
    return 0;
  }
  const std::string hint = kHints[data[0] % (sizeof kHints / sizeof kHints[0])];
  shapes::createMeshFromBinary(reinterpret_cast<const char*>(data + 1), size - 1, Eigen::Vector3d(1.0, 1.0, 1.0), hint);
  return 0;
}
