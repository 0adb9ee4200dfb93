#include "parameter_services.hpp"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>

#include "rcl_interfaces/srv/describe_parameters.hpp"
#include "rcl_interfaces/srv/get_parameter_types.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters_atomically.hpp"
#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace detail
{

namespace
{

using namespace rcl_interfaces::srv;

// A read that names a parameter not declared, or without a value, answers with nothing.
template<typename ServiceT, typename AnswerT>
std::shared_ptr<ServiceBase> serve(
  Node & node, const char * name, std::shared_ptr<NodeParameters> parameters, AnswerT answer)
{
  return node.create_service<ServiceT>(name,
           [parameters = std::move(parameters), answer](
             std::shared_ptr<typename ServiceT::Request> request,
             std::shared_ptr<typename ServiceT::Response> response) {
             try {
               answer(*parameters, *request, *response);
             } catch (const exceptions::ParameterNotDeclaredException &) {
             } catch (const exceptions::ParameterUninitializedException &) {
             }
           }, rmw_qos_profile_parameters);
}

using rcl_interfaces::msg::SetParametersResult;

SetParametersResult refused(const std::string & reason)
{
  SetParametersResult result;
  result.successful = false;
  result.reason = reason;
  return result;
}

// All or none. A type number no parameter has, an empty name and an undeclared name are refused
// with the message their check throws; `not_declared_reason`, when given, stands for the last.
SetParametersResult set_all_or_none(
  NodeParameters & parameters, const std::vector<rcl_interfaces::msg::Parameter> & messages,
  const char * not_declared_reason = nullptr)
{
  std::vector<Parameter> values;
  values.reserve(messages.size());
  try {
    for (const auto & message : messages) {
      values.push_back(Parameter::from_parameter_msg(message));
    }
  } catch (const std::runtime_error & unknown_type) {
    return refused(unknown_type.what());
  }
  try {
    return parameters.set_atomically(values);
  } catch (const exceptions::ParameterNotDeclaredException & error) {
    return refused(not_declared_reason ? not_declared_reason : error.what());
  } catch (const exceptions::InvalidParametersException & error) {
    return refused(error.what());
  }
}

// What one value adds to a reply in memory.
size_t bytes_of(const rcl_interfaces::msg::ParameterValue & value)
{
  size_t bytes = sizeof(value) + value.string_value.size() + value.byte_array_value.size() +
    value.bool_array_value.size() + value.integer_array_value.size() * sizeof(int64_t) +
    value.double_array_value.size() * sizeof(double);
  for (const auto & text : value.string_array_value) {
    bytes += sizeof(text) + text.size();
  }
  return bytes;
}

// A large value named thousands of times in one read would take more memory than any machine
// has; a reply that would grow past this is answered as a read of an undeclared name is.
constexpr size_t kLargestValuesReply = size_t{64} << 20;

}  // namespace

std::vector<std::shared_ptr<ServiceBase>> make_parameter_services(
  Node & node, std::shared_ptr<NodeParameters> parameters)
{
  return {
    serve<GetParameters>(node, "~/get_parameters", parameters,
      [](NodeParameters & all, const GetParameters::Request & request,
      GetParameters::Response & response) {
        std::vector<rcl_interfaces::msg::ParameterValue> values;
        size_t bytes = 0;
        for (const auto & name : request.names) {
          values.push_back(all.get(name).get_value_message());
          bytes += bytes_of(values.back());
          if (bytes > kLargestValuesReply) {
            return;
          }
        }
        response.values = std::move(values);
      }),
    serve<GetParameterTypes>(node, "~/get_parameter_types", parameters,
      [](NodeParameters & all, const GetParameterTypes::Request & request,
      GetParameterTypes::Response & response) {response.types = all.get_types(request.names);}),
    serve<SetParameters>(node, "~/set_parameters", parameters,
      [](NodeParameters & all, const SetParameters::Request & request,
      SetParameters::Response & response) {
        for (const auto & parameter : request.parameters) {
          response.results.push_back(set_all_or_none(all, {parameter}));
        }
      }),
    serve<SetParametersAtomically>(node, "~/set_parameters_atomically", parameters,
      [](NodeParameters & all, const SetParametersAtomically::Request & request,
      SetParametersAtomically::Response & response) {
        response.result = set_all_or_none(
          all, request.parameters, "One or more parameters were not declared before setting");
      }),
    serve<ListParameters>(node, "~/list_parameters", parameters,
      [](NodeParameters & all, const ListParameters::Request & request,
      ListParameters::Response & response) {
        response.result = all.list(request.prefixes, request.depth);
      }),
    serve<DescribeParameters>(node, "~/describe_parameters", parameters,
      [](NodeParameters & all, const DescribeParameters::Request & request,
      DescribeParameters::Response & response) {
        response.descriptors = all.describe(request.names);
      }),
  };
}

}  // namespace detail
}  // namespace rclcpp
