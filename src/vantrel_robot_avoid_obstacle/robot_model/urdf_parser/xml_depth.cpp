#include "robot_model/urdf_parser/xml_depth.h"

namespace urdf
{
namespace
{
// Position just past the terminator, or npos.
std::string::size_type skipPast(const std::string& xml, std::string::size_type from, const char* terminator)
{
  const std::string::size_type found = xml.find(terminator, from);
  return found == std::string::npos ? found : found + std::char_traits<char>::length(terminator);
}

// Position of the '>' that ends the tag starting at from, outside quoted attribute values; npos when none.
std::string::size_type tagEnd(const std::string& xml, std::string::size_type from)
{
  char quote = 0;
  for (std::string::size_type i = from; i < xml.size(); ++i)
  {
    const char c = xml[i];
    if (quote != 0)
    {
      if (c == quote)
      {
        quote = 0;
      }
    }
    else if (c == '"' || c == '\'')
    {
      quote = c;
    }
    else if (c == '>')
    {
      return i;
    }
  }
  return std::string::npos;
}
}  // namespace

bool nestedDeeperThan(const std::string& xml, int limit)
{
  int depth = 0;
  std::string::size_type i = xml.find('<');
  while (i != std::string::npos)
  {
    std::string::size_type next;
    if (xml.compare(i, 4, "<!--") == 0)
    {
      next = skipPast(xml, i + 4, "-->");
    }
    else if (xml.compare(i, 9, "<![CDATA[") == 0)
    {
      next = skipPast(xml, i + 9, "]]>");
    }
    else
    {
      const std::string::size_type end = tagEnd(xml, i + 1);
      if (end == std::string::npos)
      {
        return false;
      }
      const char kind = i + 1 < xml.size() ? xml[i + 1] : '\0';
      if (kind == '/')
      {
        --depth;
      }
      else if (kind != '?' && kind != '!' && xml[end - 1] != '/' && ++depth > limit)
      {
        return true;
      }
      next = end + 1;
    }
    if (next == std::string::npos)
    {
      return false;
    }
    i = xml.find('<', next);
  }
  return false;
}
}  // namespace urdf
