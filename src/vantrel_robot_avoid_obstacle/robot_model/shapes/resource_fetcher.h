#pragma once

// Reading mesh files named by URLs ("file://" in this system) through libcurl.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace resource_fetcher
{
class Exception : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// The whole content of the resource. Throws Exception with
// "Error retrieving file [" + url + "]: " + libcurl's error text when it cannot be read.
std::vector<std::uint8_t> fetch(const std::string& url);

}  // namespace resource_fetcher
