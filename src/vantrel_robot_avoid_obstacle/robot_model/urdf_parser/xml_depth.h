#pragma once

#include <string>

namespace urdf
{
// The XML library parses nested elements recursively, so a document nested deep enough would exhaust the stack.
// True when some element of the text lies deeper than the limit (comments, CDATA, declarations and quoted
// attribute values are skipped).
bool nestedDeeperThan(const std::string& xml, int limit);
}  // namespace urdf
