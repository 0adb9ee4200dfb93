// Requests to the program's parameter services that a careless or hostile peer sends over DDS: every one is answered,
// a refusal with its reason, and the program goes on serving its parameter and its commands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <rcl_interfaces/msg/parameter_type.hpp>
#include <rcl_interfaces/srv/get_parameters.hpp>
#include <rcl_interfaces/srv/set_parameters.hpp>
#include <rcl_interfaces/srv/set_parameters_atomically.hpp>

#include "node_rig.h"
#include "support/graph_probe.h"
#include "support/node_process.h"
#include "support/node_workspace.h"

namespace {

using namespace rcl_interfaces::srv;
using rcl_interfaces::msg::Parameter;
using Type = rcl_interfaces::msg::ParameterType;
constexpr const char* kDescription = "/robot_description";
constexpr const char* kNotDeclaredAtomically = "One or more parameters were not declared before setting";

Parameter parameter(const std::string& name, uint8_t type) {
  Parameter message;
  message.name = name;
  message.value.type = type;
  return message;
}

std::string wrongType(const std::string& given) {
  return "Wrong parameter type, parameter {/robot_description} is of type {string}, setting it to {" + given +
         "} is not allowed.";
}

// A request to both set services, with the reason of each parameter's refusal by set_parameters and that of the one
// refusal by set_parameters_atomically.
struct Row {
  std::string what;
  std::vector<Parameter> parameters;
  std::vector<std::string> reasons;
  std::string atomic_reason;
};

// One parameter, refused for the same reason by both services.
Row refused(const std::string& what, const Parameter& parameter, const std::string& reason) {
  return {what, {parameter}, {reason}, reason};
}

// Refused by both services, set_parameters naming each undeclared name.
Row undeclared(const std::string& what, const std::vector<std::string>& names) {
  Row row{what, {}, {}, kNotDeclaredAtomically};
  for (const std::string& name : names) {
    row.parameters.push_back(parameter(name, Type::PARAMETER_BOOL));
    row.reasons.push_back("parameter '" + name + "' cannot be set because it was not declared");
  }
  return row;
}

std::vector<std::string> numberedNames(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back("p" + std::to_string(i));
  return names;
}

std::vector<Row> hostileRequests() {
  Parameter huge = parameter(kDescription, Type::PARAMETER_BYTE_ARRAY);
  huge.value.byte_array_value.assign(1 << 20, 0xff);
  Parameter mismatched = parameter(kDescription, Type::PARAMETER_INTEGER);
  mismatched.value.integer_value = 5;
  return {
      refused("type 10", parameter(kDescription, 10), "Unknown type: 10"),
      refused("type 255", parameter(kDescription, 255), "Unknown type: 255"),
      refused("not set", parameter(kDescription, Type::PARAMETER_NOT_SET),
              "cannot undeclare a statically typed parameter"),
      refused("another type", mismatched, wrongType("integer")),
      refused("empty name", parameter("", Type::PARAMETER_STRING), "parameter name must not be empty"),
      refused("1 MiB array", huge, wrongType("byte_array")),
      undeclared("10,000 names", numberedNames(10000)),
      undeclared("malformed names", {"~/robot_description", "/robot_description/", "robot description",
                                     "/robot_description\xff", ".."}),
  };
}

// The program on either arm, once node1 holds the description: each request answered, the description kept (its type
// read at once, before the program's timer writes the text again), a read of 10,000 undeclared names answered empty;
// then the description is still served and a command answered.
TEST(ParameterRequests, EveryRequestIsAnsweredAndTheProgramGoesOnServing) {
  const std::vector<Row> rows = hostileRequests();
  for (const Arm arm : {Arm::Five, Arm::Six}) {
    GraphProbe probe;
    NodeWorkspace workspace;
    const YAML::Node config = nodeConfig(arm, false);
    workspace.writeConfig(config);
    NodeProcess program({}, {"RAO_TRANSPORT=dds"});
    const auto description = [&probe] {
      GetParameters::Request get;
      get.names = {kDescription};
      return probe.call<GetParameters>("/node1/get_parameters", get).values;
    };
    ASSERT_TRUE(probe.spinUntil([&] { return description().size() == 1; })) << readFile("node_err.txt");

    for (const Row& row : rows) {
      SetParameters::Request set;
      set.parameters = row.parameters;
      const auto results = probe.call<SetParameters>("/node1/set_parameters", set).results;
      ASSERT_EQ(results.size(), row.reasons.size()) << row.what << "\n" << readFile("node_err.txt");
      for (size_t i = 0; i < results.size(); ++i) {
        EXPECT_FALSE(results[i].successful) << row.what << " " << i;
        EXPECT_EQ(results[i].reason, row.reasons[i]) << row.what << " " << i;
      }
      SetParametersAtomically::Request atomic;
      atomic.parameters = row.parameters;
      const auto result = probe.call<SetParametersAtomically>("/node1/set_parameters_atomically", atomic).result;
      EXPECT_FALSE(result.successful) << row.what;
      EXPECT_EQ(result.reason, row.atomic_reason) << row.what;
      const auto values = description();
      ASSERT_EQ(values.size(), 1u) << row.what;
      EXPECT_EQ(values[0].type, Type::PARAMETER_STRING) << row.what;
    }

    GetParameters::Request get;
    get.names = numberedNames(10000);
    EXPECT_TRUE(probe.call<GetParameters>("/node1/get_parameters", get).values.empty());

    const auto values = description();
    ASSERT_EQ(values.size(), 1u);
    EXPECT_NE(values[0].string_value.find("<robot"), std::string::npos);
    const std::string move_joints = config["grab_garbage_module"]["arm_move_joints_srv_name"].as<std::string>();
    const auto answer = probe.call<Access::ArmMoveJoints>(move_joints, jointRequest({0.1}));
    EXPECT_EQ(answer.code, -20);
    EXPECT_EQ(answer.message, "armMoveJointsCmd n_dof_ dose not equal data.size();!");
    EXPECT_EQ(program.stop(), 0) << readFile("node_err.txt");
  }
}

}  // namespace
