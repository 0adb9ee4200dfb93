#include "robot_model/urdf_parser/material.h"

#include <stdexcept>
#include <vector>

#include "robot_model/urdf_parser/exception.h"
#include "robot_model/urdf_parser/text.h"

namespace urdf
{
void Color::init(const std::string& text)
{
  clear();
  std::vector<std::string> pieces;
  split_string(pieces, text, " ");
  std::vector<float> values;
  for (const std::string& piece : pieces)
  {
    if (piece.empty())
    {
      continue;
    }
    double value = 0.0;
    try
    {
      value = strToDouble(piece.c_str());
    }
    catch (const std::runtime_error&)
    {
      throw ParseError("Unable to parse component [" + piece + "] to a double (while parsing a color value)");
    }
    if (value < 0.0 || value > 1.0)
    {
      throw ParseError("Component [" + piece + "] is outside the valid range for colors [0, 1]");
    }
    values.push_back(static_cast<float>(value));
  }
  if (values.size() == 4)
  {
    r = values[0];
    g = values[1];
    b = values[2];
    a = values[3];
  }
}
}  // namespace urdf
