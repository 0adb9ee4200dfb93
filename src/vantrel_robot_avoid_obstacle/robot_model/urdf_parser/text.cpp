#include "robot_model/urdf_parser/text.h"

#include <locale>
#include <sstream>
#include <stdexcept>

namespace urdf
{
double strToDouble(const char* text)
{
  std::istringstream stream;
  stream.imbue(std::locale::classic());
  if (text == nullptr)
  {
    stream.setstate(std::ios_base::failbit);
  }
  else
  {
    stream.str(text);
  }
  double value = 0.0;
  stream >> value;
  if (stream.fail() || !stream.eof())
  {
    throw std::runtime_error("Failed converting string to double");
  }
  return value;
}

void split_string(std::vector<std::string>& out, const std::string& text, const std::string& delimiters)
{
  std::string::size_type start = 0;
  std::string::size_type found = text.find_first_of(delimiters, start);
  while (found != std::string::npos)
  {
    out.push_back(text.substr(start, found - start));
    start = found + 1;
    found = text.find_first_of(delimiters, start);
  }
  if (start < text.size())
  {
    out.push_back(text.substr(start));
  }
}
}  // namespace urdf
