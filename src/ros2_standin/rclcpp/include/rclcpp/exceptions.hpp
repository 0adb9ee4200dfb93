// Exceptions thrown by the client library.
#ifndef RCLCPP__EXCEPTIONS_HPP_
#define RCLCPP__EXCEPTIONS_HPP_

#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace rclcpp
{
namespace exceptions
{

// A node, namespace, topic or service name that the naming rules reject.
class NameValidationError : public std::invalid_argument
{
public:
  NameValidationError(
    const char * name_type_, const char * name_, const char * error_msg_, size_t invalid_index_);

  static std::string format_error(
    const char * name_type, const char * name, const char * error_msg, size_t invalid_index);

  const std::string name_type;
  const std::string name;
  const std::string error_msg;
  const size_t invalid_index;
};

class InvalidNodeNameError : public NameValidationError
{
public:
  InvalidNodeNameError(const char * node_name, const char * error_msg, size_t invalid_index)
  : NameValidationError("node name", node_name, error_msg, invalid_index) {}
};

class InvalidNamespaceError : public NameValidationError
{
public:
  InvalidNamespaceError(const char * namespace_, const char * error_msg, size_t invalid_index)
  : NameValidationError("namespace", namespace_, error_msg, invalid_index) {}
};

class InvalidTopicNameError : public NameValidationError
{
public:
  InvalidTopicNameError(const char * topic_name, const char * error_msg, size_t invalid_index)
  : NameValidationError("topic name", topic_name, error_msg, invalid_index) {}
};

class InvalidServiceNameError : public NameValidationError
{
public:
  InvalidServiceNameError(const char * service_name, const char * error_msg, size_t invalid_index)
  : NameValidationError("service name", service_name, error_msg, invalid_index) {}
};

// A failure of the layer below the client library, such as ROS arguments it cannot parse.
class RCLError : public std::runtime_error
{
  using std::runtime_error::runtime_error;
};

// Flags after "--ros-args" that name no ROS argument.
class UnknownROSArgsError : public std::runtime_error
{
public:
  explicit UnknownROSArgsError(std::vector<std::string> && unknown_ros_args_in)
  : std::runtime_error("found unknown ROS arguments: " + quoted_list(unknown_ros_args_in)),
    unknown_ros_args(std::move(unknown_ros_args_in)) {}

  const std::vector<std::string> unknown_ros_args;

private:
  static std::string quoted_list(const std::vector<std::string> & args)
  {
    std::string list;
    for (const auto & arg : args) {
      list += (list.empty() ? "'" : ", '") + arg + "'";
    }
    return list;
  }
};

class InvalidParametersException : public std::runtime_error
{
  using std::runtime_error::runtime_error;
};

class ParameterNotDeclaredException : public std::runtime_error
{
  using std::runtime_error::runtime_error;
};

class ParameterAlreadyDeclaredException : public std::runtime_error
{
  using std::runtime_error::runtime_error;
};

class InvalidParameterTypeException : public std::runtime_error
{
public:
  InvalidParameterTypeException(const std::string & name, const std::string & message)
  : std::runtime_error("parameter '" + name + "' has invalid type: " + message) {}
};

// A QoS override parameter whose value names no policy setting.
class InvalidQosOverridesException : public std::runtime_error
{
  using std::runtime_error::runtime_error;
};

class ParameterUninitializedException : public std::runtime_error
{
public:
  explicit ParameterUninitializedException(const std::string & name)
  : std::runtime_error("parameter '" + name + "' is not initialized") {}
};

}  // namespace exceptions

// Thrown when a context that is running is initialised again.
class ContextAlreadyInitialized : public std::runtime_error
{
public:
  ContextAlreadyInitialized()
  : std::runtime_error("context is already initialized") {}
};

}  // namespace rclcpp

#endif  // RCLCPP__EXCEPTIONS_HPP_
