#pragma once

#include <string>

namespace urdf
{
struct Color
{
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float a = 1.0f;

  void clear()
  {
    r = g = b = 0.0f;
    a = 1.0f;
  }
  // Four numbers in [0, 1] separated by spaces; another count leaves opaque black. Throws ParseError.
  void init(const std::string& text);
};

struct Material
{
  std::string name;
  std::string texture_filename;
  Color color;

  void clear()
  {
    name.clear();
    texture_filename.clear();
    color.clear();
  }
};
}  // namespace urdf
