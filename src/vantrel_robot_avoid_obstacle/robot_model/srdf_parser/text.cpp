#include "robot_model/srdf_parser/text.h"

#include <locale>

namespace srdf
{
std::string trim(const std::string& text)
{
  const std::locale locale;
  std::string::size_type begin = 0;
  std::string::size_type end = text.size();
  while (begin < end && std::isspace(text[begin], locale))
  {
    ++begin;
  }
  while (end > begin && std::isspace(text[end - 1], locale))
  {
    --end;
  }
  return text.substr(begin, end - begin);
}
}  // namespace srdf
