// Fuzz entry point of the URDF parser.
#include <cstddef>
#include <cstdint>
#include <string>

#include <console_bridge/console.h>

#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/fuzz/xml_nesting_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  [[maybe_unused]] static const bool quiet = (console_bridge::noOutputHandler(), true);
  const std::string text(reinterpret_cast<const char*>(data), size);
  urdf::parseURDF(text);
  if (urdf::invalidUtf8Offset(text) == std::string::npos && !urdf::nestedDeeperThan(text, kCheckedDepth) &&
      !guardCoversLibraryNesting(text))
  {
    __builtin_trap();  // the guard missed nesting the library builds
  }
  return 0;
}
