#include "rclcpp/parameter_value.hpp"

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
  static constexpr ParameterType kinds[] = {
    PARAMETER_NOT_SET, PARAMETER_BOOL, PARAMETER_INTEGER, PARAMETER_DOUBLE, PARAMETER_STRING};
  return kinds[value_.index()];
}

}  // namespace rclcpp
