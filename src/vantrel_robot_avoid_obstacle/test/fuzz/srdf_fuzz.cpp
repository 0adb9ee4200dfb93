// Fuzz entry point of the SRDF loader, against a fixed small arm.
#include <cstddef>
#include <cstdint>
#include <string>

#include <console_bridge/console.h>
#include <tinyxml2.h>

#include "robot_model/srdf_parser/model.h"
#include "test/support/small_arm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  [[maybe_unused]] static const bool quiet = (console_bridge::noOutputHandler(), true);
  // The loader reads whole lines; the document then goes through the same steps as a file's.
  const std::string text(reinterpret_cast<const char*>(data), size);
  tinyxml2::XMLDocument document;
  if (document.Parse(text.c_str(), text.size()) != tinyxml2::XML_SUCCESS)
  {
    return 0;
  }
  srdf::Model model;
  model.initXml(smallArm(), document.FirstChildElement("robot"));
  return 0;
}
