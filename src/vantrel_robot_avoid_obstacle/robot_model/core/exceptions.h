#pragma once

#include <stdexcept>
#include <string>

namespace robot_model {
namespace core {

// Broken set-up of the robot model (for instance a mesh reference that names no package).
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace core
}  // namespace robot_model
