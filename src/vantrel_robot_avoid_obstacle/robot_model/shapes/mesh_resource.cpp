#include "robot_model/shapes/mesh_resource.h"

#include <filesystem>
#include <system_error>

namespace shapes
{
namespace
{
const std::string kPackagePrefix = "package://";
const std::string kFilePrefix = "file://";

bool startsWith(const std::string& text, const std::string& prefix)
{
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool isUnreserved(unsigned char c)
{
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~' || c == '/';
}

// libcurl accepts only absolute paths in "file://" URLs.
std::string absolutePath(const std::string& path)
{
  const std::filesystem::path given(path);
  if (given.is_absolute())
    return path;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(given, error);
  return error ? path : absolute.lexically_normal().string();
}
}  // namespace

std::string percentEncodePath(const std::string& path)
{
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(path.size());
  for (const char ch : path)
  {
    const auto c = static_cast<unsigned char>(ch);
    if (isUnreserved(c))
    {
      encoded += ch;
    }
    else
    {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    }
  }
  return encoded;
}

std::string meshResourceUrl(const std::string& file_name, const std::string& description_dir)
{
  if (startsWith(file_name, kFilePrefix))
    return file_name;
  std::string path = file_name;
  if (startsWith(file_name, kPackagePrefix))
  {
    const std::string rest = file_name.substr(kPackagePrefix.size());
    if (rest.empty())
      return std::string();
    path = description_dir + rest;
  }
  return kFilePrefix + percentEncodePath(absolutePath(path));
}

}  // namespace shapes
