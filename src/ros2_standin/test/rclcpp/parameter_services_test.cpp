// A node's parameter services in the process: a refusal names the first fault in a fixed order and
// changes nothing, set_parameters takes each parameter on its own, and a read whose values would
// outgrow memory answers as one of an undeclared name.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters_atomically.hpp"
#include "rclcpp/rclcpp.hpp"

#include "../support/ros_test_support.hpp"

namespace
{

using namespace rcl_interfaces::srv;
using Message = rcl_interfaces::msg::Parameter;

template<typename ValueT>
Message message(const std::string & name, ValueT value)
{
  return rclcpp::Parameter(name, value).to_parameter_msg();
}

Message typed(const std::string & name, uint8_t type)
{
  Message parameter;
  parameter.name = name;
  parameter.value.type = type;
  return parameter;
}

// node1 with "text" declared without a value, "count" holding 3 and "fixed" (read-only) 7.
class ParameterServices : public RosTest
{
protected:
  void SetUp() override
  {
    RosTest::SetUp();
    node_ = std::make_shared<rclcpp::Node>("node1");
    node_->declare_parameter("text", rclcpp::PARAMETER_STRING);
    node_->declare_parameter("count", rclcpp::ParameterValue(3));
    rcl_interfaces::msg::ParameterDescriptor read_only;
    read_only.read_only = true;
    node_->declare_parameter("fixed", rclcpp::ParameterValue(7), read_only);
  }

  template<typename ServiceT>
  typename ServiceT::Response call(
    const std::string & service, const typename ServiceT::Request & request)
  {
    auto client = node_->create_client<ServiceT>("/node1/" + service);
    auto future = client->async_send_request(std::make_shared<typename ServiceT::Request>(request));
    EXPECT_TRUE(spin_until(node_, [&future] {
        return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
      })) << service;
    return *future.get();
  }

  int64_t count() const {return node_->get_parameter("count").as_int();}

  rclcpp::Node::SharedPtr node_;
};

// Names (empty, undeclared, read-only) in turn before a value that would unset a parameter,
// before types; the reason is the first fault's, and "count" keeps 3 whatever stands before it.
TEST_F(ParameterServices, AnAtomicSetNamesTheFirstFaultInOrderAndChangesNothing)
{
  const struct
  {
    std::vector<Message> parameters;
    std::string reason;
  } rows[] = {
    {{message("count", 4), message("text", 5), message("undeclared", 1)},
      "One or more parameters were not declared before setting"},
    {{message("count", 4), message("fixed", 8), message("", 1)},
      "parameter 'fixed' cannot be set because it is read-only"},
    {{message("count", 4), message("", 1), message("fixed", 8)},
      "parameter name must not be empty"},
    {{message("count", "four"), typed("count", rclcpp::PARAMETER_NOT_SET)},
      "cannot undeclare a statically typed parameter"},
    {{message("count", 4), typed("text", rclcpp::PARAMETER_NOT_SET)},
      "Wrong parameter type, parameter {text} is of type {string}, setting it to {not set} is not "
      "allowed."},
    {{message("count", 4), typed("count", 10)}, "Unknown type: 10"},
  };
  for (const auto & row : rows) {
    SetParametersAtomically::Request request;
    request.parameters = row.parameters;
    const auto result = call<SetParametersAtomically>("set_parameters_atomically", request).result;
    EXPECT_FALSE(result.successful) << row.reason;
    EXPECT_EQ(result.reason, row.reason);
    EXPECT_EQ(count(), 3) << row.reason;
  }
  SetParametersAtomically::Request both;
  both.parameters = {message("count", 4), message("text", "set")};
  EXPECT_TRUE(call<SetParametersAtomically>("set_parameters_atomically", both).result.successful);
  EXPECT_EQ(count(), 4);
  EXPECT_EQ(node_->get_parameter("text").as_string(), "set");
}

TEST_F(ParameterServices, SetParametersTakesEachOnItsOwn)
{
  SetParameters::Request request;
  request.parameters = {message("count", 5), typed("text", 255), message("undeclared", true),
    message("", 1), message("text", "kept")};
  const auto results = call<SetParameters>("set_parameters", request).results;
  ASSERT_EQ(results.size(), 5u);
  const std::string reasons[] = {"", "Unknown type: 255",
    "parameter 'undeclared' cannot be set because it was not declared",
    "parameter name must not be empty", ""};
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i].successful, reasons[i].empty()) << i;
    EXPECT_EQ(results[i].reason, reasons[i]);
  }
  EXPECT_EQ(count(), 5);
  EXPECT_EQ(node_->get_parameter("text").as_string(), "kept");
}

// A 1 MiB value read a few times over is answered; read a hundred times over (100 MiB), not.
TEST_F(ParameterServices, AReadWhoseValuesWouldOutgrowMemoryAnswersEmpty)
{
  node_->set_parameters({rclcpp::Parameter("text", std::string(1 << 20, 'x'))});
  GetParameters::Request request;
  request.names.assign(4, "text");
  EXPECT_EQ(call<GetParameters>("get_parameters", request).values.size(), 4u);
  request.names.assign(100, "text");
  EXPECT_TRUE(call<GetParameters>("get_parameters", request).values.empty());
  request.names = {"count"};
  EXPECT_EQ(call<GetParameters>("get_parameters", request).values.at(0).integer_value, 3);
}

}  // namespace
