#include "parameter_yaml.hpp"

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace rclcpp
{
namespace detail
{

namespace
{

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
    throw std::runtime_error(node.IsMap() ? "a map is no parameter value" : "no value");
  }
  if (node.size() == 0) {
    throw std::runtime_error("an empty sequence has no type");
  }
  std::vector<ParameterValue> items;
  for (const auto & element : node) {
    if (!element.IsScalar()) {
      throw std::runtime_error("sequences hold scalars only");
    }
    items.push_back(scalar_value(element));
    if (items.back().get_type() != items.front().get_type()) {
      throw std::runtime_error("sequence should be of same type");
    }
  }
  switch (items.front().get_type()) {
    case PARAMETER_BOOL: return array_of<bool>(items);
    case PARAMETER_INTEGER: return array_of<int64_t>(items);
    case PARAMETER_DOUBLE: return array_of<double>(items);
    default: return array_of<std::string>(items);
  }
}

// Parameter maps nest: {a: {b: 1}} names the parameter "a.b".
void collect_parameters(
  const YAML::Node & map, const std::string & prefix, const std::string & node,
  std::vector<NodeParameter> & out)
{
  for (const auto & entry : map) {
    const std::string name = prefix + entry.first.as<std::string>();
    if (entry.second.IsMap()) {
      collect_parameters(entry.second, name + ".", node, out);
      continue;
    }
    try {
      out.push_back(NodeParameter{node, name, yaml_value(entry.second)});
    } catch (const std::runtime_error & error) {
      throw std::runtime_error("parameter '" + name + "' of node '" + node + "': " + error.what());
    }
  }
}

// Node names nest as namespaces down to their "ros__parameters" key.
void collect_nodes(
  const YAML::Node & map, const std::string & node, std::vector<NodeParameter> & out)
{
  for (const auto & entry : map) {
    const std::string key = entry.first.as<std::string>();
    if (key == "ros__parameters") {
      if (node.empty() || !entry.second.IsMap()) {
        throw std::runtime_error("'ros__parameters' must be a map below a node name");
      }
      collect_parameters(entry.second, "", node, out);
    } else if (entry.second.IsMap()) {
      collect_nodes(entry.second, node + (key.front() == '/' ? "" : "/") + key, out);
    } else {
      throw std::runtime_error("'" + key + "' is neither a node name nor 'ros__parameters'");
    }
  }
}

// Sees the parser's events without building nodes, and stops at the first alias.
class AliasRefusal : public YAML::EventHandler
{
public:
  void OnAlias(const YAML::Mark & mark, YAML::anchor_t) override
  {
    throw std::runtime_error("Will not support aliasing at line " + std::to_string(mark.line + 1));
  }
  void OnDocumentStart(const YAML::Mark &) override {}
  void OnDocumentEnd() override {}
  void OnNull(const YAML::Mark &, YAML::anchor_t) override {}
  void OnScalar(const YAML::Mark &, const std::string &, YAML::anchor_t, const std::string &) override
  {
  }
  void OnSequenceStart(
    const YAML::Mark &, const std::string &, YAML::anchor_t, YAML::EmitterStyle::value) override {}
  void OnSequenceEnd() override {}
  void OnMapStart(
    const YAML::Mark &, const std::string &, YAML::anchor_t, YAML::EmitterStyle::value) override {}
  void OnMapEnd() override {}
};

// The first document of the text, as YAML::Load reads it, refused when it holds an alias: a few
// hundred bytes of nested aliases name more parameters than memory holds once walked.
YAML::Node load_without_aliases(const std::string & text)
{
  std::istringstream stream(text);
  YAML::Parser parser(stream);
  AliasRefusal refusal;
  parser.HandleNextDocument(refusal);
  return YAML::Load(text);
}

}  // namespace

ParameterValue parameter_value_from_yaml(const std::string & text)
{
  return yaml_value(load_without_aliases(text));
}

std::vector<NodeParameter> parameters_from_yaml_file(const std::string & path)
{
  std::ifstream file(path);
  if (!file) {
    throw YAML::BadFile(path);
  }
  const YAML::Node root = load_without_aliases(
    std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
  if (!root.IsMap()) {
    throw std::runtime_error("the file holds no map of node names");
  }
  std::vector<NodeParameter> parameters;
  collect_nodes(root, "", parameters);
  return parameters;
}

}  // namespace detail
}  // namespace rclcpp
