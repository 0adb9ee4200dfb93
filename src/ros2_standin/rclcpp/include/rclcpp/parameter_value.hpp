// The value of a parameter: not set, one bool, integer, double or string, or an array of bytes,
// bools, integers, doubles or strings.
#ifndef RCLCPP__PARAMETER_VALUE_HPP_
#define RCLCPP__PARAMETER_VALUE_HPP_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "rcl_interfaces/msg/parameter_value.hpp"

namespace rclcpp
{

// Numbered as the parameter types of rcl_interfaces.
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
  explicit ParameterValue(const std::vector<uint8_t> & byte_array_value)
  : value_(byte_array_value) {}
  explicit ParameterValue(const std::vector<bool> & bool_array_value) : value_(bool_array_value) {}
  explicit ParameterValue(const std::vector<int> & int_array_value)
  : value_(std::vector<int64_t>(int_array_value.begin(), int_array_value.end())) {}
  explicit ParameterValue(const std::vector<int64_t> & int_array_value)
  : value_(int_array_value) {}
  explicit ParameterValue(const std::vector<float> & double_array_value)
  : value_(std::vector<double>(double_array_value.begin(), double_array_value.end())) {}
  explicit ParameterValue(const std::vector<double> & double_array_value)
  : value_(double_array_value) {}
  explicit ParameterValue(const std::vector<std::string> & string_array_value)
  : value_(string_array_value) {}
  explicit ParameterValue(const rcl_interfaces::msg::ParameterValue & value);

  rcl_interfaces::msg::ParameterValue to_value_msg() const;

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
    } else if constexpr (std::is_same_v<T, std::string>) {
      return checked<std::string>(PARAMETER_STRING);
    } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
      return checked<T>(PARAMETER_BYTE_ARRAY);
    } else if constexpr (std::is_same_v<T, std::vector<bool>>) {
      return checked<T>(PARAMETER_BOOL_ARRAY);
    } else if constexpr (std::is_same_v<T, std::vector<int64_t>>) {
      return checked<T>(PARAMETER_INTEGER_ARRAY);
    } else if constexpr (std::is_same_v<T, std::vector<double>>) {
      return checked<T>(PARAMETER_DOUBLE_ARRAY);
    } else {
      static_assert(std::is_same_v<T, std::vector<std::string>>, "unsupported parameter value type");
      return checked<T>(PARAMETER_STRING_ARRAY);
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

  // Alternatives in the order of ParameterType.
  std::variant<std::monostate, bool, int64_t, double, std::string, std::vector<uint8_t>,
    std::vector<bool>, std::vector<int64_t>, std::vector<double>, std::vector<std::string>> value_;
};

}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_VALUE_HPP_
