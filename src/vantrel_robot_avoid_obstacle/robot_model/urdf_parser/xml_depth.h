#pragma once

#include <string>

namespace urdf
{
// The XML library parses nested elements recursively, so a document nested deep enough would exhaust the stack.
// True when some element lies deeper than the limit, the text split into comments, declarations, CDATA, quoted
// values, entities and tags exactly as the library splits it in UTF-8 mode up to the first NUL. The text must
// be valid UTF-8 (see invalidUtf8Offset), so that no multi-byte character hides a markup character.
bool nestedDeeperThan(const std::string& xml, int limit);

// Offset of the first byte that does not belong to a well-formed UTF-8 character, or of the first NUL byte;
// std::string::npos when there is none. The XML library reads every byte a lead byte announces, even past the
// end of the text.
std::string::size_type invalidUtf8Offset(const std::string& text);
}  // namespace urdf
