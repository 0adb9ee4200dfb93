#pragma once

// Cross-check of the URDF nesting guard against the tree the XML library actually builds (the library links every
// element it starts, also when it then gives up on it).

#include <string>

#include <tinyxml.h>

#include "robot_model/urdf_parser/xml_depth.h"

inline int libraryElementDepth(const TiXmlNode& node)
{
  int deepest = 0;
  for (const TiXmlElement* child = node.FirstChildElement(); child != nullptr; child = child->NextSiblingElement())
  {
    const int depth = 1 + libraryElementDepth(*child);
    deepest = depth > deepest ? depth : deepest;
  }
  return deepest;
}

constexpr int kCheckedDepth = 100;

// True when the guard counts at least as deep as the library nests the text, which must be valid UTF-8 and pass
// the guard at kCheckedDepth.
inline bool guardCoversLibraryNesting(const std::string& text, int* guard_depth = nullptr, int* library_depth = nullptr)
{
  int guard = 0;
  int above = kCheckedDepth;
  while (guard < above)
  {
    const int middle = (guard + above) / 2;
    if (urdf::nestedDeeperThan(text, middle))
    {
      guard = middle + 1;
    }
    else
    {
      above = middle;
    }
  }
  TiXmlDocument document;
  document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
  const int library = libraryElementDepth(document);
  if (guard_depth != nullptr)
  {
    *guard_depth = guard;
  }
  if (library_depth != nullptr)
  {
    *library_depth = library;
  }
  return guard >= library;
}
