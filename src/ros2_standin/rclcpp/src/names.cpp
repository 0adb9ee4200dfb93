#include <cctype>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

#include "rclcpp/detail/name_rules.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/expand_topic_or_service_name.hpp"

namespace rclcpp
{
namespace exceptions
{

NameValidationError::NameValidationError(
  const char * name_type_, const char * name_, const char * error_msg_, size_t invalid_index_)
: std::invalid_argument(format_error(name_type_, name_, error_msg_, invalid_index_)),
  name_type(name_type_), name(name_), error_msg(error_msg_), invalid_index(invalid_index_)
{
}

std::string NameValidationError::format_error(
  const char * name_type, const char * name, const char * error_msg, size_t invalid_index)
{
  std::string msg;
  msg += std::string("Invalid ") + name_type + ": " + error_msg + ":\n";
  msg += std::string("  '") + name + "'\n";
  msg += std::string("   ") + std::string(invalid_index, ' ') + "^\n";
  return msg;
}

}  // namespace exceptions

namespace
{

constexpr size_t kNodeNameMaxLength = 255;
constexpr size_t kTopicNameMaxLength = 255 - 8;
constexpr size_t kNamespaceMaxLength = kTopicNameMaxLength - 2;

bool is_alnum(char c) {return std::isalnum(static_cast<unsigned char>(c)) != 0;}
bool is_digit(char c) {return std::isdigit(static_cast<unsigned char>(c)) != 0;}

struct NameProblem
{
  const char * message;
  size_t index;
};

// The rules for an absolute name: a namespace or a fully expanded topic or service name.
std::optional<NameProblem> check_absolute_name(
  const std::string & name, bool is_namespace, size_t max_length)
{
  if (name.empty()) {
    return NameProblem{is_namespace ? "namespace must not be empty" :
             "topic name must not be empty", 0};
  }
  if (name[0] != '/') {
    return NameProblem{is_namespace ? "namespace must be absolute, it must lead with a '/'" :
             "topic name must be absolute, it must lead with a '/'", 0};
  }
  if (name.back() == '/' && !(is_namespace && name.size() == 1)) {
    return NameProblem{is_namespace ? "namespace must not end with a forward slash" :
             "topic name must not end with a forward slash", name.size() - 1};
  }
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (!is_alnum(c) && c != '_' && c != '/') {
      return NameProblem{is_namespace ?
               "namespace must not contain characters other than alphanumerics, '_', or '/'" :
               "topic name must not contain characters other than alphanumerics, '_', or '/'", i};
    }
  }
  for (size_t i = 0; i + 1 < name.size(); ++i) {
    if (name[i] != '/') {
      continue;
    }
    if (name[i + 1] == '/') {
      return NameProblem{is_namespace ? "namespace must not contain repeated '/'" :
               "topic name must not contain repeated '/'", i + 1};
    }
    if (is_digit(name[i + 1])) {
      return NameProblem{is_namespace ?
               "namespace must not have a token that starts with a number" :
               "topic name must not have a token that starts with a number", i + 1};
    }
  }
  if (name.size() > max_length) {
    return NameProblem{is_namespace ? "namespace should not exceed '245'" :
             "topic length should not exceed '247'", max_length - 1};
  }
  return std::nullopt;
}

// The rules for a name as the user writes it: relative, private ("~/x") or absolute, with
// optional substitutions in braces.
std::optional<NameProblem> check_user_name(const std::string & name)
{
  if (name.empty()) {
    return NameProblem{"topic name must not be empty string", 0};
  }
  if (is_digit(name[0])) {
    return NameProblem{"topic name token must not start with a number", 0};
  }
  if (name.back() == '/') {
    return NameProblem{"topic name must not end with a forward slash", name.size() - 1};
  }
  bool in_braces = false;
  size_t brace_index = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (in_braces && c != '}' && !is_alnum(c) && c != '_') {
      return NameProblem{
        "substitution name must not contain characters other than alphanumerics or '_'", i};
    }
    if (is_alnum(c) || c == '_' || c == '/') {
      continue;
    }
    if (c == '~') {
      if (i != 0) {
        return NameProblem{
          "topic name must not have tilde '~' unless it is the first character", i};
      }
    } else if (c == '{') {
      in_braces = true;
      brace_index = i;
      if (i + 1 < name.size() && is_digit(name[i + 1])) {
        return NameProblem{"substitution name must not start with a number", i + 1};
      }
    } else if (c == '}') {
      if (!in_braces) {
        return NameProblem{
          "topic name must not have unmatched (unbalanced) curly braces '{}'", i};
      }
      in_braces = false;
    } else {
      return NameProblem{
        "topic name must not contain characters other than alphanumerics, '_', '~', '{', or '}'",
        i};
    }
  }
  if (in_braces) {
    return NameProblem{
      "topic name must not have unmatched (unbalanced) curly braces '{}'", brace_index};
  }
  for (size_t i = 0; i + 1 < name.size(); ++i) {
    if (name[i] == '/' && is_digit(name[i + 1])) {
      return NameProblem{"topic name token must not start with a number", i + 1};
    }
    if (i == 0 && name[0] == '~' && name[1] != '/') {
      return NameProblem{
        "topic name must not have a tilde '~' that is not followed by a forward slash '/'", 1};
    }
  }
  return std::nullopt;
}

[[noreturn]] void throw_name_error(const std::string & name, const NameProblem & problem,
  bool is_service)
{
  if (is_service) {
    throw exceptions::InvalidServiceNameError(name.c_str(), problem.message, problem.index);
  }
  throw exceptions::InvalidTopicNameError(name.c_str(), problem.message, problem.index);
}

std::string join(const std::string & namespace_, const std::string & rest)
{
  return namespace_ == "/" ? "/" + rest : namespace_ + "/" + rest;
}

std::string substitute(
  const std::string & name, const std::string & node_name, const std::string & namespace_)
{
  std::string out;
  size_t pos = 0;
  while (pos < name.size()) {
    const size_t open = name.find('{', pos);
    if (open == std::string::npos) {
      out += name.substr(pos);
      break;
    }
    const size_t close = name.find('}', open);
    out += name.substr(pos, open - pos);
    const std::string key = name.substr(open + 1, close - open - 1);
    if (key == "node") {
      out += node_name;
    } else if (key == "ns" || key == "namespace") {
      out += namespace_ == "/" ? "" : namespace_;
    } else {
      throw std::runtime_error("unknown substitution: {" + key + "} in '" + name + "'");
    }
    pos = close + 1;
  }
  return out;
}

}  // namespace

namespace detail
{

void validate_node_name(const std::string & node_name)
{
  if (node_name.empty()) {
    throw exceptions::InvalidNodeNameError(node_name.c_str(), "node name must not be empty", 0);
  }
  for (size_t i = 0; i < node_name.size(); ++i) {
    if (!is_alnum(node_name[i]) && node_name[i] != '_') {
      throw exceptions::InvalidNodeNameError(node_name.c_str(),
              "node name must not contain characters other than alphanumerics or '_'", i);
    }
  }
  if (is_digit(node_name[0])) {
    throw exceptions::InvalidNodeNameError(node_name.c_str(),
            "node name must not start with a number", 0);
  }
  if (node_name.size() > kNodeNameMaxLength) {
    throw exceptions::InvalidNodeNameError(node_name.c_str(),
            "node name should not exceed '255'", kNodeNameMaxLength - 1);
  }
}

std::string normalize_and_validate_namespace(const std::string & namespace_)
{
  std::string ns = namespace_;
  if (ns.empty()) {
    ns = "/";
  } else if (ns[0] != '/') {
    ns = "/" + ns;
  }
  if (auto problem = check_absolute_name(ns, true, kNamespaceMaxLength)) {
    throw exceptions::InvalidNamespaceError(ns.c_str(), problem->message, problem->index);
  }
  return ns;
}

}  // namespace detail

std::string expand_topic_or_service_name(
  const std::string & name,
  const std::string & node_name,
  const std::string & namespace_,
  bool is_service)
{
  detail::validate_node_name(node_name);
  const std::string ns = detail::normalize_and_validate_namespace(namespace_);
  if (auto problem = check_user_name(name)) {
    throw_name_error(name, *problem, is_service);
  }
  std::string expanded = substitute(name, node_name, ns);
  if (expanded[0] == '~') {
    expanded = join(ns, node_name) + expanded.substr(1);
  } else if (expanded[0] != '/') {
    expanded = join(ns, expanded);
  }
  if (auto problem = check_absolute_name(expanded, false, kTopicNameMaxLength)) {
    throw_name_error(expanded, *problem, is_service);
  }
  return expanded;
}

}  // namespace rclcpp
