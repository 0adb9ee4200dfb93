#pragma once

#include <string>

#include <console_bridge/console.h>

namespace srdf
{
constexpr const char* kSource = "srdf_parser/model";
constexpr console_bridge::LogLevel kWarn = console_bridge::CONSOLE_BRIDGE_LOG_WARN;
constexpr console_bridge::LogLevel kError = console_bridge::CONSOLE_BRIDGE_LOG_ERROR;

// Leading and trailing white space removed.
std::string trim(const std::string& text);
}  // namespace srdf
