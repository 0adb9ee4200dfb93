#pragma once

// Reading description and mesh files: only regular files of bounded size, so that a path to a device or a pipe
// can neither read without end nor block.

#include <sys/stat.h>

#include <cstddef>
#include <string>

namespace regular_file
{
constexpr std::size_t kMaxBytes = std::size_t(256) << 20;

// Why a file of this status must not be read ("not a regular file", "larger than ... bytes"); empty when it may.
std::string refusal(const struct stat& status);

struct FileText
{
  std::string text;
  // Empty when the whole file was read, else why it was not.
  std::string error;
  // The system's error number when the file could not be opened (ENOENT: nothing at the path), else 0.
  int open_error = 0;
};

// The whole content of the file at `path`.
FileText read(const std::string& path);

}  // namespace regular_file
