// Fuzz entry point of the URDF parser.
#include <cstddef>
#include <cstdint>
#include <string>

#include <console_bridge/console.h>

#include "robot_model/urdf_parser/urdf_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  static const bool quiet = (console_bridge::noOutputHandler(), true);
  (void)quiet;
  urdf::parseURDF(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
