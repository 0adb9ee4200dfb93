// Parameter values and params files in YAML, typed as the ROS command line types them.
#ifndef PARAMETER_YAML_HPP_
#define PARAMETER_YAML_HPP_

#include <string>
#include <vector>

#include "rclcpp/parameter_value.hpp"

namespace rclcpp
{
namespace detail
{

struct NodeParameter
{
  std::string node_pattern;  // "/**", "/ns/node", with "*" and "**" wildcards
  std::string name;
  ParameterValue value;
};

// A plain scalar that reads as a bool, integer or double is one, any other scalar a string; a
// sequence of scalars of one type is an array. Throws std::runtime_error for anything else, an alias
// included.
ParameterValue parameter_value_from_yaml(const std::string & text);

// The parameters of a params file in file order, from the "ros__parameters" maps below node names
// ("/**:", "node:", "ns: node:"); nested maps name "outer.inner". Throws std::runtime_error, naming
// the line of the first alias for a file that holds one; anchors alone are read.
std::vector<NodeParameter> parameters_from_yaml_file(const std::string & path);

}  // namespace detail
}  // namespace rclcpp

#endif  // PARAMETER_YAML_HPP_
