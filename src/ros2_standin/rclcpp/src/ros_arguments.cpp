#include "ros_arguments.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <stdexcept>
#include <utility>

#include "rclcpp/exceptions.hpp"
#include "rclcpp/expand_topic_or_service_name.hpp"

namespace rclcpp
{
namespace detail
{

namespace
{

const std::set<std::string> kFlagsWithValue = {"-p", "--param", "-r", "--remap", "--params-file",
  "--log-level", "--log-config-file", "-e", "--enclave"};
const std::set<std::string> kLoggingSwitches = {"--enable-rosout-logs", "--disable-rosout-logs",
  "--enable-stdout-logs", "--disable-stdout-logs", "--enable-external-lib-logs",
  "--disable-external-lib-logs"};
const std::set<std::string> kLogLevels = {"unset", "debug", "info", "warn", "error", "fatal"};

// As rcl does: the log names the step, the exception what went wrong in it.
[[noreturn]] void fail(const std::string & message)
{
  std::fputs("[ERROR] [rcl]: Failed to parse global arguments\n", stderr);
  throw exceptions::RCLError("failed to initialize rcl: " + message);
}

// Splits "left:=right"; both sides must be there.
std::pair<std::string, std::string> split_rule(const std::string & rule)
{
  const size_t at = rule.find(":=");
  if (at == std::string::npos) {
    throw std::runtime_error("expected ':=' between name and value");
  }
  if (at == 0) {
    throw std::runtime_error("the name before ':=' is missing");
  }
  if (at + 2 == rule.size()) {
    throw std::runtime_error("the value after ':=' is missing");
  }
  return {rule.substr(0, at), rule.substr(at + 2)};
}

// Glob over node names: "**" matches across '/', "*" within one token.
bool node_matches(const char * pattern, const char * name)
{
  if (*pattern == '\0') {
    return *name == '\0';
  }
  if (pattern[0] == '*' && pattern[1] == '*') {
    for (const char * rest = name; ; ++rest) {
      if (node_matches(pattern + 2, rest)) {
        return true;
      }
      if (*rest == '\0') {
        return false;
      }
    }
  }
  if (pattern[0] == '*') {
    for (const char * rest = name; ; ++rest) {
      if (node_matches(pattern + 1, rest)) {
        return true;
      }
      if (*rest == '\0' || *rest == '/') {
        return false;
      }
    }
  }
  return *name == *pattern && node_matches(pattern + 1, name + 1);
}

}  // namespace

// Strips a leading "rostopic://" or "rosservice://" from the name, returning the kind it names.
RosArguments::NameKind RosArguments::take_name_kind(std::string & name)
{
  for (const auto & [scheme, kind] : {std::pair{std::string("rostopic://"), NameKind::topic},
      std::pair{std::string("rosservice://"), NameKind::service}})
  {
    if (name.compare(0, scheme.size(), scheme) == 0) {
      name.erase(0, scheme.size());
      return kind;
    }
  }
  return NameKind::any;
}

RosArguments::RosArguments(int argc, char const * const * argv)
{
  std::vector<std::string> unknown;
  bool in_ros_args = false;
  for (int i = 1; i < argc && argv; ++i) {
    const std::string arg = argv[i];
    if (arg == "--ros-args") {
      in_ros_args = true;
      continue;
    }
    if (!in_ros_args) {
      continue;
    }
    if (arg == "--") {
      in_ros_args = false;
      continue;
    }
    if (kFlagsWithValue.count(arg) != 0) {
      if (i + 1 >= argc || std::string(argv[i + 1]) == "--") {
        fail("Couldn't parse trailing " + arg + " flag. No value provided.");
      }
      const std::string value = argv[++i];
      if (arg == "-p" || arg == "--param") {
        parse_parameter_rule(arg, value);
      } else if (arg == "-r" || arg == "--remap") {
        parse_remap_rule(arg, value);
      } else if (arg == "--params-file") {
        parse_params_file(arg, value);
      } else if (arg == "--log-level") {
        parse_log_level(arg, value);
      }
      continue;
    }
    if (kLoggingSwitches.count(arg) == 0) {
      unknown.push_back(arg);
    }
  }
  if (!unknown.empty()) {
    throw exceptions::UnknownROSArgsError(std::move(unknown));
  }
}

void RosArguments::parse_parameter_rule(const std::string & flag, const std::string & rule)
{
  try {
    const auto [name, value] = split_rule(rule);
    overrides_.push_back(NodeParameter{"/**", name, parameter_value_from_yaml(value)});
  } catch (const std::exception & error) {
    fail("Couldn't parse parameter override rule: '" + flag + " " + rule + "'. Error: " +
      error.what());
  }
}

void RosArguments::parse_params_file(const std::string & flag, const std::string & path)
{
  try {
    for (auto & parameter : parameters_from_yaml_file(path)) {
      overrides_.push_back(std::move(parameter));
    }
  } catch (const std::exception & error) {
    fail("Couldn't parse params file: '" + flag + " " + path + "'. Error: " + error.what());
  }
}

void RosArguments::parse_remap_rule(const std::string & flag, const std::string & rule)
{
  try {
    auto [from, to] = split_rule(rule);
    std::string node;
    const size_t colon = from.find(':');
    if (colon != std::string::npos && from.compare(colon, 3, "://") != 0) {
      node = from.substr(0, colon);
      from = from.substr(colon + 1);
      if (node.empty() || from.empty()) {
        throw std::runtime_error("a node name and a name must surround ':'");
      }
    }
    const NameKind kind = take_name_kind(from);
    if (from == "__name") {
      from = "__node";
    }
    if ((from == "__ns" || from == "__node") && kind != NameKind::any) {
      throw std::runtime_error(
              "'rostopic://' and 'rosservice://' go before topic and service names only");
    }
    // Checks the names by expanding them for a node of any name.
    if (from == "__ns") {
      expand_topic_or_service_name("x", "x", to);
    } else if (from == "__node") {
      expand_topic_or_service_name("x", to, "/");
    } else {
      expand_topic_or_service_name(from, "x", "/", kind == NameKind::service);
      expand_topic_or_service_name(to, "x", "/", kind == NameKind::service);
    }
    remaps_.push_back(Remap{node, from, to, kind});
  } catch (const std::exception & error) {
    fail("Couldn't parse remap rule: '" + flag + " " + rule + "'. Error: " + error.what());
  }
}

void RosArguments::parse_log_level(const std::string & flag, const std::string & rule)
{
  const size_t at = rule.find(":=");
  std::string level = at == std::string::npos ? rule : rule.substr(at + 2);
  std::transform(level.begin(), level.end(), level.begin(),
    [](unsigned char c) {return static_cast<char>(std::tolower(c));});
  if (kLogLevels.count(level) == 0) {
    fail("Couldn't parse log level rule: '" + flag + " " + rule + "'. Error: argument '" +
      rule + "' is not a logging level");
  }
}

std::optional<ParameterValue> RosArguments::parameter_override(
  const std::string & node_fully_qualified_name, const std::string & parameter_name) const
{
  std::optional<ParameterValue> value;
  for (const auto & entry : overrides_) {
    if (entry.name == parameter_name &&
      node_matches(entry.node_pattern.c_str(), node_fully_qualified_name.c_str()))
    {
      value = entry.value;
    }
  }
  return value;
}

const RosArguments::Remap * RosArguments::name_rule(
  const std::string & node_name, const char * key) const
{
  for (const auto & rule : remaps_) {
    if (rule.from == key && (rule.node.empty() || rule.node == node_name)) {
      return &rule;
    }
  }
  return nullptr;
}

std::string RosArguments::node_name(const std::string & node_name) const
{
  const Remap * rule = name_rule(node_name, "__node");
  return rule ? rule->to : node_name;
}

std::string RosArguments::node_namespace(
  const std::string & node_name, const std::string & namespace_) const
{
  const Remap * rule = name_rule(node_name, "__ns");
  return rule ? rule->to : namespace_;
}

std::string RosArguments::remap(
  const std::string & expanded_name, const std::string & node_name,
  const std::string & namespace_, bool is_service) const
{
  for (const auto & rule : remaps_) {
    if (rule.from == "__node" || rule.from == "__ns" ||
      (!rule.node.empty() && rule.node != node_name) ||
      rule.kind == (is_service ? NameKind::topic : NameKind::service))
    {
      continue;
    }
    if (expand_topic_or_service_name(rule.from, node_name, namespace_, is_service) ==
      expanded_name)
    {
      return expand_topic_or_service_name(rule.to, node_name, namespace_, is_service);
    }
  }
  return expanded_name;
}

}  // namespace detail
}  // namespace rclcpp
