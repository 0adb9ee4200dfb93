#include "ros_arguments.hpp"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "rclcpp/exceptions.hpp"
#include "rclcpp/expand_topic_or_service_name.hpp"

namespace rclcpp
{
namespace detail
{

namespace
{

// Why a rule or file was refused, before the flag is put in front of it.
class Refusal : public std::runtime_error
{
  using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string & message)
{
  std::fprintf(stderr, "[ERROR] [rcl]: %s\n", message.c_str());
  throw exceptions::RCLError("failed to initialize rcl: " + message);
}

bool one_of(const std::string & text, std::initializer_list<const char *> words)
{
  return std::any_of(words.begin(), words.end(), [&text](const char * word) {return text == word;});
}

// A plain YAML scalar as a bool, integer or double when it reads as one; quoted ones are strings.
ParameterValue scalar_value(const YAML::Node & node)
{
  const std::string & text = node.Scalar();
  if (node.Tag() == "!") {
    return ParameterValue(text);
  }
  if (one_of(text, {"true", "True", "TRUE", "yes", "Yes", "YES", "on", "On", "ON"})) {
    return ParameterValue(true);
  }
  if (one_of(text, {"false", "False", "FALSE", "no", "No", "NO", "off", "Off", "OFF"})) {
    return ParameterValue(false);
  }
  if (!text.empty()) {
    char * end = nullptr;
    errno = 0;
    const long long integer = std::strtoll(text.c_str(), &end, 0);
    if (*end == '\0' && errno == 0) {
      return ParameterValue(static_cast<int64_t>(integer));
    }
    if (one_of(text, {".nan", ".NaN", ".NAN"})) {
      return ParameterValue(std::numeric_limits<double>::quiet_NaN());
    }
    if (one_of(text, {".inf", ".Inf", ".INF", "+.inf", "+.Inf", "+.INF"})) {
      return ParameterValue(std::numeric_limits<double>::infinity());
    }
    if (one_of(text, {"-.inf", "-.Inf", "-.INF"})) {
      return ParameterValue(-std::numeric_limits<double>::infinity());
    }
    errno = 0;
    const double real = std::strtod(text.c_str(), &end);
    if (*end == '\0' && errno == 0 && !std::isalpha(static_cast<unsigned char>(text.back()))) {
      return ParameterValue(real);
    }
  }
  return ParameterValue(text);
}

template<typename T>
ParameterValue array_of(const std::vector<ParameterValue> & items)
{
  std::vector<T> values;
  values.reserve(items.size());
  for (const auto & item : items) {
    values.push_back(item.get<T>());
  }
  return ParameterValue(values);
}

// A scalar, or a sequence of scalars of one type.
ParameterValue yaml_value(const YAML::Node & node)
{
  if (node.IsScalar()) {
    return scalar_value(node);
  }
  if (!node.IsSequence()) {
    throw Refusal(node.IsMap() ? "a map is no parameter value" : "no value");
  }
  if (node.size() == 0) {
    throw Refusal("an empty sequence has no type");
  }
  std::vector<ParameterValue> items;
  for (const auto & element : node) {
    if (!element.IsScalar()) {
      throw Refusal("sequences hold scalars only");
    }
    items.push_back(scalar_value(element));
    if (items.back().get_type() != items.front().get_type()) {
      throw Refusal("sequence should be of same type");
    }
  }
  switch (items.front().get_type()) {
    case PARAMETER_BOOL: return array_of<bool>(items);
    case PARAMETER_INTEGER: return array_of<int64_t>(items);
    case PARAMETER_DOUBLE: return array_of<double>(items);
    default: return array_of<std::string>(items);
  }
}

// Splits "left:=right"; both sides must be there.
std::pair<std::string, std::string> split_rule(const std::string & rule)
{
  const size_t at = rule.find(":=");
  if (at == std::string::npos) {
    throw Refusal("expected ':=' between name and value");
  }
  if (at == 0) {
    throw Refusal("the name before ':=' is missing");
  }
  if (at + 2 == rule.size()) {
    throw Refusal("the value after ':=' is missing");
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
    const bool takes_value = one_of(arg, {"-p", "--param", "-r", "--remap", "--params-file",
        "--log-level", "--log-config-file", "-e", "--enclave"});
    if (takes_value) {
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
    if (!one_of(arg, {"--enable-rosout-logs", "--disable-rosout-logs", "--enable-stdout-logs",
        "--disable-stdout-logs", "--enable-external-lib-logs", "--disable-external-lib-logs"}))
    {
      unknown.push_back(arg);
    }
  }
  if (!unknown.empty()) {
    exceptions::UnknownROSArgsError error(std::move(unknown));
    std::fprintf(stderr, "[ERROR] [rclcpp]: %s\n", error.what());
    throw error;
  }
}

void RosArguments::parse_parameter_rule(const std::string & flag, const std::string & rule)
{
  try {
    const auto [name, value] = split_rule(rule);
    overrides_.push_back(Override{"/**", name, yaml_value(YAML::Load(value))});
  } catch (const std::exception & error) {
    fail("Couldn't parse parameter override rule: '" + flag + " " + rule + "'. Error: " +
      error.what());
  }
}

namespace
{

// Parameter maps nest: {a: {b: 1}} names the parameter "a.b".
void collect_parameters(
  const YAML::Node & map, const std::string & prefix, const std::string & node,
  std::vector<std::pair<std::string, ParameterValue>> & out)
{
  for (const auto & entry : map) {
    const std::string name = prefix + entry.first.as<std::string>();
    if (entry.second.IsMap()) {
      collect_parameters(entry.second, name + ".", node, out);
    } else {
      try {
        out.emplace_back(name, yaml_value(entry.second));
      } catch (const Refusal & refusal) {
        throw Refusal("parameter '" + name + "' of node '" + node + "': " + refusal.what());
      }
    }
  }
}

}  // namespace

void RosArguments::parse_params_file(const std::string & flag, const std::string & path)
{
  try {
    const YAML::Node root = YAML::LoadFile(path);
    if (!root.IsMap()) {
      throw Refusal("the file holds no map of node names");
    }
    // Node names nest as namespaces until their "ros__parameters" key.
    std::vector<std::pair<std::string, YAML::Node>> pending{{"", root}};
    while (!pending.empty()) {
      auto [node, map] = pending.back();
      pending.pop_back();
      for (const auto & entry : map) {
        const std::string key = entry.first.as<std::string>();
        if (key == "ros__parameters") {
          if (node.empty() || !entry.second.IsMap()) {
            throw Refusal("'ros__parameters' must be a map below a node name");
          }
          std::vector<std::pair<std::string, ParameterValue>> parameters;
          collect_parameters(entry.second, "", node, parameters);
          for (auto & [name, value] : parameters) {
            overrides_.push_back(Override{node, name, std::move(value)});
          }
        } else if (entry.second.IsMap()) {
          pending.emplace_back(node + (key.front() == '/' ? "" : "/") + key, entry.second);
        } else {
          throw Refusal("'" + key + "' is neither a node name nor 'ros__parameters'");
        }
      }
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
    if (colon != std::string::npos) {
      node = from.substr(0, colon);
      from = from.substr(colon + 1);
      if (node.empty() || from.empty()) {
        throw Refusal("a node name and a name must surround ':'");
      }
    }
    if (from == "__name") {
      from = "__node";
    }
    // Checks the names by expanding them for a node of any name.
    if (from == "__ns") {
      expand_topic_or_service_name("x", "x", to);
    } else if (from == "__node") {
      expand_topic_or_service_name("x", to, "/");
    } else {
      expand_topic_or_service_name(from, "x", "/");
      expand_topic_or_service_name(to, "x", "/");
    }
    remaps_.push_back(Remap{node, from, to});
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
  if (!one_of(level, {"unset", "debug", "info", "warn", "error", "fatal"})) {
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
      (!rule.node.empty() && rule.node != node_name))
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
