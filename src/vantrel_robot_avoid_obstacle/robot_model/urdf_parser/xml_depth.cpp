#include "robot_model/urdf_parser/xml_depth.h"

#include <string_view>
#include <vector>

namespace urdf
{
namespace
{
// Where the XML library gives up, its parse ends; the scan then ends too, as nothing after that point is parsed.

bool isSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c)
{
  return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Every byte from 127 up counts as a letter.
bool isNameStart(char c)
{
  return static_cast<unsigned char>(c) >= 127 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(char c)
{
  return isNameStart(c) || isDigit(c) || c == '-' || c == '.' || c == ':';
}

// The scan reads only as far as it needs to, never to the end of the text on each call as the C string functions
// may (or checking tools do for them).
bool startsWith(const char* p, std::string_view prefix)
{
  for (const char c : prefix)
  {
    if (*p++ != c)
    {
      return false;
    }
  }
  return true;
}

// The next c at or after p, or nullptr.
const char* findChar(const char* p, char c)
{
  while (*p != '\0' && *p != c)
  {
    ++p;
  }
  return *p == c ? p : nullptr;
}

// Just past the next occurrence of text at or after p, or nullptr.
const char* skipPastText(const char* p, std::string_view text)
{
  for (; *p != '\0'; ++p)
  {
    if (startsWith(p, text))
    {
      return p + text.size();
    }
  }
  return nullptr;
}

// prefix is lower-case ASCII.
bool startsWithIgnoringCase(const char* p, const char* prefix)
{
  for (; *prefix != '\0'; ++p, ++prefix)
  {
    const char lower = (*p >= 'A' && *p <= 'Z') ? static_cast<char>(*p - 'A' + 'a') : *p;
    if (lower != *prefix)
    {
      return false;
    }
  }
  return true;
}

// White space, and the byte order mark and two non-characters, which the library skips like white space.
const char* skipSpace(const char* p)
{
  for (;;)
  {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    if (u[0] == 0xEF && ((u[1] == 0xBB && u[2] == 0xBF) || (u[1] == 0xBF && (u[2] == 0xBE || u[2] == 0xBF))))
    {
      p += 3;
    }
    else if (isSpace(*p))
    {
      ++p;
    }
    else
    {
      return p;
    }
  }
}

const char* skipName(const char* p)
{
  if (!isNameStart(*p))
  {
    return nullptr;
  }
  while (isNameChar(*p))
  {
    ++p;
  }
  return p;
}

// Past one character of text or of a quoted value. A numeric character reference runs to the next ';' and is
// checked backwards from there down to its 'x' or '#', so it may span markup.
const char* skipCharacter(const char* p)
{
  if (p[0] != '&' || p[1] != '#' || p[2] == '\0')
  {
    return p + 1;
  }
  const bool hex = p[2] == 'x';
  if (hex && p[3] == '\0')
  {
    return nullptr;
  }
  const char* semicolon = findChar(p + (hex ? 3 : 2), ';');
  if (semicolon == nullptr)
  {
    return nullptr;
  }
  for (const char* q = semicolon - 1; *q != (hex ? 'x' : '#'); --q)
  {
    if (!(hex ? isHexDigit(*q) : isDigit(*q)))
    {
      return nullptr;
    }
  }
  return semicolon + 1;
}

// Text up to the next '<'.
const char* skipText(const char* p)
{
  while (p != nullptr && *p != '\0' && *p != '<')
  {
    p = skipCharacter(p);
  }
  return p == nullptr || *p == '\0' ? nullptr : p;
}

// A quoted value; p is at the opening quote.
const char* skipQuoted(const char* p)
{
  const char quote = *p++;
  while (p != nullptr && *p != '\0' && *p != quote)
  {
    p = skipCharacter(p);
  }
  return p == nullptr || *p == '\0' ? nullptr : p + 1;
}

// name = value, the value quoted or running to white space, '/' or '>'.
const char* skipAttribute(const char* p)
{
  p = skipName(skipSpace(p));
  if (p == nullptr)
  {
    return nullptr;
  }
  p = skipSpace(p);
  if (*p != '=')
  {
    return nullptr;
  }
  p = skipSpace(p + 1);
  if (*p == '"' || *p == '\'')
  {
    return skipQuoted(p);
  }
  for (; *p != '\0' && !isSpace(*p) && *p != '/' && *p != '>'; ++p)
  {
    if (*p == '"' || *p == '\'')
    {
      return nullptr;
    }
  }
  return p;
}

// "<?xml": only version, encoding and standalone are read as attributes; other words run to white space or '>'.
const char* skipDeclaration(const char* p)
{
  p += 5;
  while (p != nullptr && *p != '\0')
  {
    if (*p == '>')
    {
      return p + 1;
    }
    p = skipSpace(p);
    if (startsWithIgnoringCase(p, "version") || startsWithIgnoringCase(p, "encoding") ||
        startsWithIgnoringCase(p, "standalone"))
    {
      p = skipAttribute(p);
    }
    else
    {
      while (*p != '\0' && *p != '>' && !isSpace(*p))
      {
        ++p;
      }
    }
  }
  return nullptr;
}

// Past a node that holds no elements (declaration, comment, CDATA, anything else starting "<!", "<?" or "<"
// without a name); nullptr where the library gives up. Unquoted: "<?x "?>" ends at its first '>'.
const char* skipLeafMarkup(const char* p)
{
  if (startsWithIgnoringCase(p, "<?xml"))
  {
    return skipDeclaration(p);
  }
  if (startsWith(p, "<!--"))
  {
    return skipPastText(p + 4, "-->");
  }
  if (startsWith(p, "<![CDATA["))
  {
    return skipPastText(p + 9, "]]>");
  }
  return skipPastText(p, ">");
}
}  // namespace

bool nestedDeeperThan(const std::string& xml, int limit)
{
  // Names of the elements whose content is being read, innermost last.
  std::vector<std::string_view> open;
  const char* p = skipSpace(xml.c_str());
  while (p != nullptr && *p != '\0')
  {
    if (!open.empty() && *p != '<')
    {
      p = skipText(p);
    }
    else if (*p != '<')
    {
      return false;  // text outside the elements ends the document
    }
    else if (!open.empty() && p[1] == '/')
    {
      // The end tag only has to start with the open element's name; outside every element "</" is skipped.
      const std::string_view name = open.back();
      if (!startsWith(p + 2, name))
      {
        return false;
      }
      p = skipSpace(p + 2 + name.size());
      if (*p != '>')
      {
        return false;
      }
      open.pop_back();
      p = skipSpace(p + 1);
    }
    else if (!isNameStart(p[1]))
    {
      p = skipLeafMarkup(p);
      p = p == nullptr ? nullptr : skipSpace(p);
    }
    else
    {
      if (static_cast<int>(open.size()) >= limit)
      {
        return true;
      }
      const char* name = skipSpace(p + 1);
      p = skipName(name);
      const char* name_end = p;
      while (p != nullptr && *p != '\0')
      {
        p = skipSpace(p);
        if (*p == '/')
        {
          p = p[1] == '>' ? skipSpace(p + 2) : nullptr;
          break;
        }
        if (*p == '>')
        {
          open.emplace_back(name, static_cast<std::size_t>(name_end - name));
          p = skipSpace(p + 1);
          break;
        }
        p = skipAttribute(p);
      }
    }
  }
  return false;
}

std::string::size_type invalidUtf8Offset(const std::string& text)
{
  const auto byte = [&text](std::string::size_type i) { return static_cast<unsigned char>(text[i]); };
  std::string::size_type i = 0;
  while (i < text.size())
  {
    const unsigned char lead = byte(i);
    if (lead == 0)
    {
      return i;
    }
    std::size_t continuation = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80)
    {
      continuation = 0;
    }
    else if (lead >= 0xC2 && lead <= 0xDF)
    {
      continuation = 1;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
      continuation = 2;
      low = lead == 0xE0 ? 0xA0 : 0x80;    // no overlong forms
      high = lead == 0xED ? 0x9F : 0xBF;   // no surrogates
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
      continuation = 3;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    }
    else
    {
      return i;
    }
    for (std::size_t k = 1; k <= continuation; ++k)
    {
      const bool bounded = k == 1;
      if (i + k >= text.size() || byte(i + k) < (bounded ? low : 0x80) || byte(i + k) > (bounded ? high : 0xBF))
      {
        return i;
      }
    }
    i += continuation + 1;
  }
  return std::string::npos;
}
}  // namespace urdf
