// The ROS arguments of a context: parameter overrides, name remaps and node renames, as given
// between "--ros-args" and "--" on the command line.
#ifndef ROS_ARGUMENTS_HPP_
#define ROS_ARGUMENTS_HPP_

#include <optional>
#include <string>
#include <vector>

#include "parameter_yaml.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp
{
namespace detail
{

class RosArguments
{
public:
  RosArguments() = default;

  // Throws exceptions::RCLError naming what it cannot parse (after rcl's log line on standard
  // error), or exceptions::UnknownROSArgsError for flags it does not know.
  RosArguments(int argc, char const * const * argv);

  // The last override for the parameter that applies to the node, if any.
  std::optional<ParameterValue> parameter_override(
    const std::string & node_fully_qualified_name, const std::string & parameter_name) const;

  // The node's name and namespace after "__node:=" and "__ns:=" rules.
  std::string node_name(const std::string & node_name) const;
  std::string node_namespace(const std::string & node_name, const std::string & namespace_) const;

  // The fully qualified topic or service name after the first rule that matches it.
  std::string remap(
    const std::string & expanded_name, const std::string & node_name,
    const std::string & namespace_, bool is_service) const;

private:
  enum class NameKind { any, topic, service };

  struct Remap
  {
    std::string node;  // empty: every node
    std::string from;  // "__node", "__ns", or a topic or service name
    std::string to;
    NameKind kind;  // the names that "from" matches: "rostopic://" and "rosservice://" choose one
  };

  void parse_parameter_rule(const std::string & flag, const std::string & rule);
  void parse_params_file(const std::string & flag, const std::string & path);
  void parse_remap_rule(const std::string & flag, const std::string & rule);
  static NameKind take_name_kind(std::string & name);
  static void parse_log_level(const std::string & flag, const std::string & rule);
  const Remap * name_rule(const std::string & node_name, const char * key) const;

  std::vector<NodeParameter> overrides_;  // in argument order
  std::vector<Remap> remaps_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // ROS_ARGUMENTS_HPP_
