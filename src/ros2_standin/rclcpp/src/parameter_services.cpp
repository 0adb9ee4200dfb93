#include "parameter_services.hpp"

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

std::vector<Parameter> from_messages(const std::vector<rcl_interfaces::msg::Parameter> & messages)
{
  std::vector<Parameter> parameters;
  parameters.reserve(messages.size());
  for (const auto & message : messages) {
    parameters.push_back(Parameter::from_parameter_msg(message));
  }
  return parameters;
}

rcl_interfaces::msg::SetParametersResult set_atomically(
  NodeParameters & parameters, const std::vector<Parameter> & values)
{
  try {
    return parameters.set_atomically(values);
  } catch (const exceptions::ParameterNotDeclaredException & error) {
    rcl_interfaces::msg::SetParametersResult result;
    result.successful = false;
    result.reason = error.what();
    return result;
  }
}

}  // namespace

std::vector<std::shared_ptr<ServiceBase>> make_parameter_services(
  Node & node, std::shared_ptr<NodeParameters> parameters)
{
  return {
    serve<GetParameters>(node, "~/get_parameters", parameters,
      [](NodeParameters & all, const GetParameters::Request & request,
      GetParameters::Response & response) {
        std::vector<rcl_interfaces::msg::ParameterValue> values;
        for (const auto & parameter : all.get(request.names)) {
          values.push_back(parameter.get_value_message());
        }
        response.values = std::move(values);
      }),
    serve<GetParameterTypes>(node, "~/get_parameter_types", parameters,
      [](NodeParameters & all, const GetParameterTypes::Request & request,
      GetParameterTypes::Response & response) {response.types = all.get_types(request.names);}),
    serve<SetParameters>(node, "~/set_parameters", parameters,
      [](NodeParameters & all, const SetParameters::Request & request,
      SetParameters::Response & response) {
        for (const auto & parameter : from_messages(request.parameters)) {
          response.results.push_back(set_atomically(all, {parameter}));
        }
      }),
    serve<SetParametersAtomically>(node, "~/set_parameters_atomically", parameters,
      [](NodeParameters & all, const SetParametersAtomically::Request & request,
      SetParametersAtomically::Response & response) {
        response.result = set_atomically(all, from_messages(request.parameters));
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
