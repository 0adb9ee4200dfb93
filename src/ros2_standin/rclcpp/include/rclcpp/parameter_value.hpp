// The value of a parameter: not set, or one bool, integer, double or string.
#ifndef RCLCPP__PARAMETER_VALUE_HPP_
#define RCLCPP__PARAMETER_VALUE_HPP_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <variant>

namespace rclcpp
{

// Numbered as the parameter types of rcl_interfaces; this stand-in stores the scalar kinds.
enum ParameterType : uint8_t
{
  PARAMETER_NOT_SET = 0,
  PARAMETER_BOOL = 1,
  PARAMETER_INTEGER = 2,
  PARAMETER_DOUBLE = 3,
  PARAMETER_STRING = 4,
  PARAMETER_BYTE_ARRAY = 5,
  PARAMETER_BOOL_ARRAY = 6,
  PARAMETER_INTEGER_ARRAY = 7,
  PARAMETER_DOUBLE_ARRAY = 8,
  PARAMETER_STRING_ARRAY = 9,
};

std::string to_string(ParameterType type);

class ParameterTypeException : public std::runtime_error
{
public:
  ParameterTypeException(ParameterType expected, ParameterType actual);
};

class ParameterValue
{
public:
  ParameterValue() = default;
  explicit ParameterValue(bool bool_value) : value_(bool_value) {}
  explicit ParameterValue(int int_value) : value_(static_cast<int64_t>(int_value)) {}
  explicit ParameterValue(int64_t int_value) : value_(int_value) {}
  explicit ParameterValue(float double_value) : value_(static_cast<double>(double_value)) {}
  explicit ParameterValue(double double_value) : value_(double_value) {}
  explicit ParameterValue(const std::string & string_value) : value_(string_value) {}
  explicit ParameterValue(const char * string_value) : value_(std::string(string_value)) {}

  ParameterType get_type() const;

  // Throws ParameterTypeException when the value holds another kind.
  template<typename T>
  decltype(auto) get() const
  {
    if constexpr (std::is_same_v<T, bool>) {
      return checked<bool>(PARAMETER_BOOL);
    } else if constexpr (std::is_integral_v<T>) {
      return checked<int64_t>(PARAMETER_INTEGER);
    } else if constexpr (std::is_floating_point_v<T>) {
      return checked<double>(PARAMETER_DOUBLE);
    } else {
      static_assert(std::is_same_v<T, std::string>, "unsupported parameter value type");
      return checked<std::string>(PARAMETER_STRING);
    }
  }

  bool operator==(const ParameterValue & rhs) const {return value_ == rhs.value_;}
  bool operator!=(const ParameterValue & rhs) const {return value_ != rhs.value_;}

private:
  template<typename T>
  const T & checked(ParameterType expected) const
  {
    if (const T * value = std::get_if<T>(&value_)) {
      return *value;
    }
    throw ParameterTypeException(expected, get_type());
  }

  std::variant<std::monostate, bool, int64_t, double, std::string> value_;
};

}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_VALUE_HPP_
