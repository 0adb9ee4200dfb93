#pragma once

// Reading mesh files named by URLs ("file://" in this system) through libcurl.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "robot_model/shapes/regular_file.h"

namespace resource_fetcher
{
class Exception : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// Larger resources are refused, and so is a transfer that runs longer than kMaxReadSeconds.
constexpr std::size_t kMaxResourceBytes = regular_file::kMaxBytes;
constexpr long kMaxReadSeconds = 60;

// The whole content of the resource. Throws Exception with
// "Error retrieving file [" + url + "]: " + libcurl's error text (or why it was refused) when it cannot be read.
// A local file must be a regular file: devices and pipes never end or block.
std::vector<std::uint8_t> fetch(const std::string& url);

}  // namespace resource_fetcher
