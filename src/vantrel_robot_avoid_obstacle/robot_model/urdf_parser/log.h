#pragma once

#include <string>

#include <console_bridge/console.h>

namespace urdf
{
constexpr const char* kModelSource = "urdf_parser/model";
constexpr const char* kLinkSource = "urdf_parser/link";
constexpr const char* kJointSource = "urdf_parser/joint";
constexpr const char* kPoseSource = "urdf_parser/pose";

// Text composed at run time may hold '%': it only ever goes through a plain "%s".
inline void logText(const char* source, int line, console_bridge::LogLevel level, const std::string& text)
{
  console_bridge::log(source, line, level, "%s", text.c_str());
}
}  // namespace urdf
