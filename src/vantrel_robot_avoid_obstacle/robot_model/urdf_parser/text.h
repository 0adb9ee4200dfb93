#pragma once

#include <string>
#include <vector>

namespace urdf
{
// The whole text must be one number in the classic locale; throws std::runtime_error otherwise.
double strToDouble(const char* text);

// Splits at any of the delimiters; empty pieces between delimiters are kept, an empty last piece is not.
void split_string(std::vector<std::string>& out, const std::string& text, const std::string& delimiters);
}  // namespace urdf
