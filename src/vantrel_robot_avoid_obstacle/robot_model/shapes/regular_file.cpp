#include "robot_model/shapes/regular_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace regular_file
{
std::string refusal(const struct stat& status)
{
  if (!S_ISREG(status.st_mode))
    return "not a regular file";
  if (static_cast<unsigned long long>(status.st_size) > kMaxBytes)
    return "larger than " + std::to_string(kMaxBytes) + " bytes";
  return std::string();
}

FileText read(const std::string& path)
{
  FileText file;
  // Without O_NONBLOCK opening a pipe waits for a writer; it changes nothing for a regular file.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0)
  {
    file.open_error = errno;
    file.error = std::strerror(errno);
    return file;
  }
  struct stat status;
  if (::fstat(descriptor, &status) != 0)
    file.error = std::strerror(errno);
  else
    file.error = refusal(status);
  if (file.error.empty())
  {
    file.text.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[65536];
    for (;;)
    {
      const ssize_t count = ::read(descriptor, buffer, sizeof(buffer));
      if (count < 0 && errno == EINTR)
        continue;
      if (count < 0)
      {
        file.error = std::strerror(errno);
        break;
      }
      if (count == 0)
        break;
      // A file that grows while it is read is held to the same bound.
      if (file.text.size() + static_cast<std::size_t>(count) > kMaxBytes)
      {
        file.error = "larger than " + std::to_string(kMaxBytes) + " bytes";
        break;
      }
      file.text.append(buffer, static_cast<std::size_t>(count));
    }
  }
  ::close(descriptor);
  if (!file.error.empty())
    file.text.clear();
  return file;
}

}  // namespace regular_file
