#include "robot_model/urdf_parser/pose.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "robot_model/urdf_parser/exception.h"
#include "robot_model/urdf_parser/text.h"

namespace urdf
{
void Vector3::init(const std::string& text)
{
  clear();
  std::vector<std::string> pieces;
  split_string(pieces, text, " ");
  std::vector<double> values;
  for (const std::string& piece : pieces)
  {
    if (piece.empty())
    {
      continue;
    }
    try
    {
      values.push_back(strToDouble(piece.c_str()));
    }
    catch (const std::runtime_error&)
    {
      throw ParseError("Unable to parse component [" + piece + "] to a double (while parsing a vector value)");
    }
  }
  if (values.size() != 3)
  {
    throw ParseError("Parser found " + std::to_string(values.size()) +
                     " elements but 3 expected while parsing vector [" + text + "]");
  }
  x = values[0];
  y = values[1];
  z = values[2];
}

void Rotation::setFromRPY(double roll, double pitch, double yaw)
{
  const double phi = roll / 2.0;
  const double the = pitch / 2.0;
  const double psi = yaw / 2.0;
  x = std::sin(phi) * std::cos(the) * std::cos(psi) - std::cos(phi) * std::sin(the) * std::sin(psi);
  y = std::cos(phi) * std::sin(the) * std::cos(psi) + std::sin(phi) * std::cos(the) * std::sin(psi);
  z = std::cos(phi) * std::cos(the) * std::sin(psi) - std::sin(phi) * std::sin(the) * std::cos(psi);
  w = std::cos(phi) * std::cos(the) * std::cos(psi) + std::sin(phi) * std::sin(the) * std::sin(psi);

  const double s = x * x + y * y + z * z + w * w;
  if (!(s > 0.0))
  {
    clear();
    return;
  }
  const double norm = std::sqrt(s);
  x /= norm;
  y /= norm;
  z /= norm;
  w /= norm;
}
}  // namespace urdf
