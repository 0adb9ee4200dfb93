#pragma once

// Cross-check of the URDF nesting guard against the tree the XML library actually builds (the library links every
// element it starts, also when it then gives up on it).

#include <algorithm>
#include <string>

#include <tinyxml.h>

#include "robot_model/urdf_parser/xml_depth.h"

constexpr int kCheckedDepth = 100;

inline int libraryElementDepth(const TiXmlNode& node)
{
  int deepest = 0;
  for (const TiXmlElement* child = node.FirstChildElement(); child != nullptr; child = child->NextSiblingElement())
  {
    deepest = std::max(deepest, 1 + libraryElementDepth(*child));
  }
  return deepest;
}

// How deep the XML library nests the elements of the text.
inline int libraryNesting(const std::string& text)
{
  TiXmlDocument document;
  document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
  return libraryElementDepth(document);
}

// True when the guard counts at least as deep as the library nests the text, which must be valid UTF-8 and pass
// the guard at kCheckedDepth.
inline bool guardCoversLibraryNesting(const std::string& text)
{
  const int library = libraryNesting(text);
  return library == 0 || urdf::nestedDeeperThan(text, library - 1);
}
