#include "rclcpp/parameter_value.hpp"

#include <string>
#include <type_traits>

namespace rclcpp
{

std::string to_string(ParameterType type)
{
  switch (type) {
    case PARAMETER_NOT_SET: return "not set";
    case PARAMETER_BOOL: return "bool";
    case PARAMETER_INTEGER: return "integer";
    case PARAMETER_DOUBLE: return "double";
    case PARAMETER_STRING: return "string";
    case PARAMETER_BYTE_ARRAY: return "byte_array";
    case PARAMETER_BOOL_ARRAY: return "bool_array";
    case PARAMETER_INTEGER_ARRAY: return "integer_array";
    case PARAMETER_DOUBLE_ARRAY: return "double_array";
    case PARAMETER_STRING_ARRAY: return "string_array";
  }
  return "unknown type";
}

ParameterTypeException::ParameterTypeException(ParameterType expected, ParameterType actual)
: std::runtime_error("expected [" + to_string(expected) + "] got [" + to_string(actual) + "]")
{
}

ParameterType ParameterValue::get_type() const
{
  return static_cast<ParameterType>(value_.index());
}

ParameterValue::ParameterValue(const rcl_interfaces::msg::ParameterValue & value)
{
  switch (value.type) {
    case PARAMETER_NOT_SET: break;
    case PARAMETER_BOOL: value_ = value.bool_value; break;
    case PARAMETER_INTEGER: value_ = value.integer_value; break;
    case PARAMETER_DOUBLE: value_ = value.double_value; break;
    case PARAMETER_STRING: value_ = value.string_value; break;
    case PARAMETER_BYTE_ARRAY: value_ = value.byte_array_value; break;
    case PARAMETER_BOOL_ARRAY: value_ = value.bool_array_value; break;
    case PARAMETER_INTEGER_ARRAY: value_ = value.integer_array_value; break;
    case PARAMETER_DOUBLE_ARRAY: value_ = value.double_array_value; break;
    case PARAMETER_STRING_ARRAY: value_ = value.string_array_value; break;
    default:
      throw std::runtime_error("Unknown type: " + std::to_string(value.type));
  }
}

rcl_interfaces::msg::ParameterValue ParameterValue::to_value_msg() const
{
  rcl_interfaces::msg::ParameterValue message;
  message.type = get_type();
  std::visit([&message](const auto & value) {
      using T = std::decay_t<decltype(value)>;
      if constexpr (std::is_same_v<T, bool>) {
        message.bool_value = value;
      } else if constexpr (std::is_same_v<T, int64_t>) {
        message.integer_value = value;
      } else if constexpr (std::is_same_v<T, double>) {
        message.double_value = value;
      } else if constexpr (std::is_same_v<T, std::string>) {
        message.string_value = value;
      } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
        message.byte_array_value = value;
      } else if constexpr (std::is_same_v<T, std::vector<bool>>) {
        message.bool_array_value = value;
      } else if constexpr (std::is_same_v<T, std::vector<int64_t>>) {
        message.integer_array_value = value;
      } else if constexpr (std::is_same_v<T, std::vector<double>>) {
        message.double_array_value = value;
      } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
        message.string_array_value = value;
      }
    }, value_);
  return message;
}

}  // namespace rclcpp
