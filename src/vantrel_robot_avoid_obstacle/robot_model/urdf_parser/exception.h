#pragma once

#include <stdexcept>
#include <string>

namespace urdf
{
// Raised while turning text into values and while linking the tree; never leaves parseURDF.
class ParseError : public std::runtime_error
{
public:
  explicit ParseError(const std::string& message) : std::runtime_error(message) {}
  ~ParseError() override = default;
};
}  // namespace urdf
