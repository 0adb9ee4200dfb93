// The command line's ROS arguments (parameter overrides, params files, remaps, renames, and the
// refusal of malformed ones), the parameter services and events, and QoS overrides of "/tf".
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/parameter_type.hpp"
#include "rcl_interfaces/srv/describe_parameters.hpp"
#include "rcl_interfaces/srv/get_parameter_types.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters_atomically.hpp"
#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/bool.hpp"
#include "tf2_ros/transform_broadcaster.h"

#include "../support/ros_test_support.hpp"

namespace
{

using namespace std::chrono_literals;
using rcl_interfaces::msg::ParameterEvent;
using rcl_interfaces::msg::ParameterType;
using ParameterMessage = rcl_interfaces::msg::Parameter;
using namespace rcl_interfaces::srv;

void init(rclcpp::Context & context, std::vector<std::string> arguments)
{
  arguments.insert(arguments.begin(), "program");
  std::vector<const char *> argv;
  for (const auto & argument : arguments) {
    argv.push_back(argument.c_str());
  }
  rclcpp::InitOptions options;
  options.transport = rclcpp::TransportKind::InProcess;
  context.init(static_cast<int>(argv.size()), argv.data(), options);
}

// A context initialised with "program <arguments>", shut down at the end.
class ArgumentsContext
{
public:
  explicit ArgumentsContext(const std::vector<std::string> & arguments) {init(*context_, arguments);}
  ~ArgumentsContext() {context_->shutdown("test over");}

  rclcpp::Node::SharedPtr node(const std::string & name, const std::string & namespace_ = "") const
  {
    return std::make_shared<rclcpp::Node>(name, namespace_,
             rclcpp::NodeOptions().context(context_));
  }

  const std::shared_ptr<rclcpp::Context> context_ = std::make_shared<rclcpp::Context>();
};

// A file of its own for each call, so that the files of a table outlive its rows.
std::string params_file(const std::string & text)
{
  static int files = 0;
  const std::string path = ::testing::TempDir() + "ros_arguments_test_params_" +
    std::to_string(files++) + ".yaml";
  std::FILE * file = std::fopen(path.c_str(), "w");
  std::fputs(text.c_str(), file);
  std::fclose(file);
  return path;
}

// Overrides take effect in argument order (a later one wins), for the nodes their section names;
// remaps rename nodes and move their topics; arguments outside "--ros-args" are the program's.
TEST(RosArguments, OverridesAndRemapsApplyToTheNodesTheyName)
{
  const std::string file = params_file(
    "/**:\n  ros__parameters:\n    flag: false\n    nested: &anchored {depth: 3}\n"
    "robot:\n  node1:\n    ros__parameters:\n      only_mine: [a, b]\n"
    "/robot/other:\n  ros__parameters:\n    only_mine: [c]\n");
  ArgumentsContext context({"--mine", "--ros-args", "-p", "/robot_description:=<robot name=\"a5\"/>",
      "-p", "ints:=[1, -2, 0x10]", "-p", "flag:=on", "--param", "quoted:='42'", "-p", "real:=-1.5e3",
      "-p", "huge:=.inf", "-p", "anchored:=&a [x]", "--params-file", file, "-r", "/joint_states:=/arm/joint_states",
      "--remap", "node1:chatter:=heard", "-r", "other:__node:=renamed", "-r", "__ns:=/robot",
      "--log-level", "DEBUG", "--log-level", "rcl:=warn", "-e", "/enclave", "--disable-rosout-logs",
      "--", "--also-mine", "--ros-args", "--enable-stdout-logs"});
  auto node1 = context.node("node1");
  auto other = context.node("other", "/elsewhere");
  EXPECT_STREQ(node1->get_fully_qualified_name(), "/robot/node1");
  EXPECT_STREQ(other->get_fully_qualified_name(), "/robot/renamed");

  const std::pair<const char *, rclcpp::ParameterValue> overridden[] = {
    {"/robot_description", rclcpp::ParameterValue("<robot name=\"a5\"/>")},
    {"ints", rclcpp::ParameterValue(std::vector<int64_t>{1, -2, 16})},
    {"flag", rclcpp::ParameterValue(false)}, {"quoted", rclcpp::ParameterValue("42")},
    {"real", rclcpp::ParameterValue(-1500.0)},
    {"huge", rclcpp::ParameterValue(std::numeric_limits<double>::infinity())},
    {"anchored", rclcpp::ParameterValue(std::vector<std::string>{"x"})},
    {"only_mine", rclcpp::ParameterValue(std::vector<std::string>{"a", "b"})}};
  for (const auto & [name, value] : overridden) {
    EXPECT_EQ(node1->declare_parameter(name, value.get_type()), value) << name;
  }
  EXPECT_EQ(node1->declare_parameter("nested.depth", rclcpp::ParameterValue(0)),
    rclcpp::ParameterValue(3)) << "over the default";
  // The section of "/robot/other" is not the renamed node's; an ignored override is no value.
  EXPECT_EQ(other->declare_parameter("only_mine", rclcpp::PARAMETER_STRING_ARRAY).get_type(),
    rclcpp::PARAMETER_NOT_SET);
  EXPECT_EQ(other->declare_parameter("flag", rclcpp::PARAMETER_BOOL,
    rcl_interfaces::msg::ParameterDescriptor(), true).get_type(),
    rclcpp::PARAMETER_NOT_SET);
  // An override of another type than the declared one ends the declaration.
  EXPECT_THROW(other->declare_parameter("real", rclcpp::PARAMETER_STRING),
    rclcpp::exceptions::InvalidParameterTypeException);

  auto noop = [](std::shared_ptr<const std_msgs::msg::Bool>) {};
  auto joints = node1->create_subscription<std_msgs::msg::Bool>("/joint_states", 3, noop);
  auto heard = node1->create_subscription<std_msgs::msg::Bool>("chatter", 3, noop);
  auto chatter = other->create_subscription<std_msgs::msg::Bool>("chatter", 3, noop);
  EXPECT_EQ(node1->count_subscribers("/arm/joint_states"), 1u);
  EXPECT_EQ(node1->count_subscribers("/joint_states"), 0u) << "graph queries are not remapped";
  EXPECT_EQ(node1->get_subscriptions_info_by_topic("/robot/heard", true).size(), 1u);
  EXPECT_EQ(node1->get_subscriptions_info_by_topic("/robot/chatter", true).size(), 1u);
  EXPECT_EQ(node1->get_service_names_and_types().count("/robot/node1/get_parameters"), 1u);
}

// Each malformed argument ends init with an exception that names it, the reason for the program to
// print; standard error gets at most rcl's line naming the step that failed. The context stays down.
TEST(RosArguments, AMalformedArgumentEndsInitNamingIt)
{
  // Aliases are refused before anything expands them, at the line of the first; anchors alone pass.
  const std::string aliased =
    params_file("node1:\n  ros__parameters:\n    base: &base {a: 1}\n    copy: *base\n");
  const std::string merged = params_file(
    "/**:\n  ros__parameters:\n    base: &base {a: 1}\n    copy:\n      <<: *base\n");
  const std::string alias_key = params_file("/**:\n  ros__parameters:\n    a: &k b\n    *k : 1\n");
  const std::string aliasing = "'. Error: Will not support aliasing at line ";
  const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
    {{"-p", "nonsense"}, "'-p nonsense'"},
    {{"-p"}, "trailing -p"},
    {{"--params-file", "--", "x"}, "trailing --params-file"},
    {{"-p", "empty:="}, "'-p empty:='"},
    {{"-p", ":=1"}, "'-p :=1'"},
    {{"-p", "map:={a: 1}"}, "'-p map:={a: 1}'"},
    {{"-p", "mixed:=[1, a]"}, "'-p mixed:=[1, a]'"},
    {{"--params-file", "/no/such/params.yaml"}, "'--params-file /no/such/params.yaml'"},
    {{"--params-file", params_file("node1:\n  ros__parameters: 5\n")}, "--params-file"},
    {{"--params-file", aliased}, "'--params-file " + aliased + aliasing + "4"},
    {{"--params-file", merged}, "'--params-file " + merged + aliasing + "5"},
    {{"--params-file", alias_key}, "'--params-file " + alias_key + aliasing + "4"},
    {{"-p", "list:=[&x a, *x]"}, "'-p list:=[&x a, *x]" + aliasing + "1"},
    {{"-r", "bad name:=x"}, "'-r bad name:=x'"},
    {{"-r", "__node:=9lives"}, "'-r __node:=9lives'"},
    {{"-r", "rostopic://__node:=other"}, "'-r rostopic://__node:=other'"},
    {{"-r", "rosservice://__ns:=/robot"}, "'-r rosservice://__ns:=/robot'"},
    {{"-r", "rostopic://:=x"}, "'-r rostopic://:=x'"},
    {{"-r", "rostopic://node1:chatter:=x"}, "'-r rostopic://node1:chatter:=x'"},
    {{"-r", "chatter:=rostopic://x"}, "'-r chatter:=rostopic://x'"},
    {{"-r", "rosparam://chatter:=x"}, "'-r rosparam://chatter:=x'"},
    {{"-r", ":rostopic://chatter:=x"}, "'-r :rostopic://chatter:=x'"},
    {{"--log-level", "loud"}, "'--log-level loud'"},
    {{"--unknown", "-p", "a:=1", "stray"}, "'--unknown', 'stray'"},
  };
  for (const auto & [arguments, named] : rows) {
    std::vector<std::string> command_line{"--ros-args"};
    command_line.insert(command_line.end(), arguments.begin(), arguments.end());
    const auto context = std::make_shared<rclcpp::Context>();
    ::testing::internal::CaptureStderr();
    try {
      init(*context, command_line);
      ADD_FAILURE() << "accepted " << named;
    } catch (const std::runtime_error & error) {
      EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
    }
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(printed.empty() || printed == "[ERROR] [rcl]: Failed to parse global arguments\n") <<
      printed;
    EXPECT_FALSE(context->is_valid()) << named;
  }
  EXPECT_NO_THROW(ArgumentsContext({"--ros-args", "--"}));
}

// "rostopic://" and "rosservice://" rules rename topics only or services only, and a node name before
// them limits them to that node; the first rule that applies to a name wins.
TEST(RosArguments, RemapRulesOfOneKindRenameThatKindOnly)
{
  struct Row
  {
    std::vector<std::string> rules;
    std::set<std::string> topics;
    std::set<std::string> services;
  };
  const std::set<std::string> unchanged = {"/a/chatter", "/b/chatter"};
  const std::vector<Row> rows = {
    {{"rostopic://chatter:=heard"}, {"/a/heard", "/b/heard"}, unchanged},
    {{"rosservice://chatter:=answered"}, unchanged, {"/a/answered", "/b/answered"}},
    {{"rostopic:///a/chatter:=/heard"}, {"/heard", "/b/chatter"}, unchanged},
    {{"node1:rostopic://chatter:=heard"}, {"/a/heard", "/b/chatter"}, unchanged},
    {{"other:rosservice:///b/chatter:=/answered"}, unchanged, {"/a/chatter", "/answered"}},
    {{"node1:rosservice://chatter:=answered", "rostopic://chatter:=heard"}, {"/a/heard", "/b/heard"},
      {"/a/answered", "/b/chatter"}},
    {{"rosservice://chatter:=answered", "chatter:=both"}, {"/a/both", "/b/both"},
      {"/a/answered", "/b/answered"}},
    {{"chatter:=both", "rosservice://chatter:=answered"}, {"/a/both", "/b/both"},
      {"/a/both", "/b/both"}},
  };
  for (const Row & row : rows) {
    std::vector<std::string> arguments{"--ros-args"};
    for (const std::string & rule : row.rules) {
      arguments.insert(arguments.end(), {"-r", rule});
    }
    ArgumentsContext context(arguments);
    std::vector<std::shared_ptr<void>> entities;
    for (const auto & node : {context.node("node1", "/a"), context.node("other", "/b")}) {
      entities.push_back(node->create_subscription<std_msgs::msg::Bool>("chatter", 3,
        [](std::shared_ptr<const std_msgs::msg::Bool>) {}));
      entities.push_back(node->create_service<GetParameters>("chatter",
        [](std::shared_ptr<GetParameters::Request>, std::shared_ptr<GetParameters::Response>) {}));
      entities.push_back(node);
    }
    auto probe = context.node("probe");
    const auto without_parameters = [](const auto & names_and_types) {
        std::set<std::string> names;
        for (const auto & [name, types] : names_and_types) {
          if (name.find("parameter") == std::string::npos) {names.insert(name);}
        }
        return names;
      };
    EXPECT_EQ(without_parameters(probe->get_topic_names_and_types()), row.topics) <<
      ::testing::PrintToString(row.rules);
    EXPECT_EQ(without_parameters(probe->get_service_names_and_types()), row.services) <<
      ::testing::PrintToString(row.rules);
  }
}

template<typename ValueT>
ParameterMessage message(const std::string & name, ValueT value)
{
  return rclcpp::Parameter(name, value).to_parameter_msg();
}

ParameterMessage typed(const std::string & name, uint8_t type)
{
  ParameterMessage parameter;
  parameter.name = name;
  parameter.value.type = type;
  return parameter;
}

// Calls the server's service `~/service`.
template<typename ServiceT>
typename ServiceT::Response call(
  const rclcpp::Node::SharedPtr & client_node, const rclcpp::Node::SharedPtr & server_node,
  const std::string & service, typename ServiceT::Request request)
{
  const std::string name = server_node->get_fully_qualified_name() + ("/" + service);
  auto client = client_node->template create_client<ServiceT>(name);
  EXPECT_TRUE(client->wait_for_service(2s)) << name;
  auto future = client->async_send_request(
    std::make_shared<typename ServiceT::Request>(std::move(request)));
  EXPECT_TRUE(wait_until([&] {
      rclcpp::spin_some(server_node);
      rclcpp::spin_some(client_node);
      return future.wait_for(0s) == std::future_status::ready;
    }, 30s)) << name;
  return *future.get();
}

// The services answer as the parameter API does; every declaration and change is announced.
TEST(ParameterServices, ServeDeclaredParametersAndAnnounceEachChange)
{
  ArgumentsContext context({"--ros-args", "-p", "/robot_description:=<robot/>"});
  auto peer = context.node("peer");
  std::vector<ParameterEvent> events;
  auto events_subscription = peer->create_subscription<ParameterEvent>("/parameter_events",
      rclcpp::ParameterEventsQoS(), [&events](std::shared_ptr<const ParameterEvent> event) {
        if (event->node == "/node1") {events.push_back(*event);}
      });
  auto node1 = context.node("node1");
  node1->declare_parameter("/robot_description", rclcpp::PARAMETER_STRING);
  node1->declare_parameter("empty", rclcpp::PARAMETER_INTEGER);
  rcl_interfaces::msg::ParameterDescriptor read_only;
  read_only.read_only = true;
  node1->declare_parameter("a.b.c", rclcpp::ParameterValue(1.5), read_only);

  GetParameters::Request get;
  get.names = {"/robot_description"};
  EXPECT_EQ(call<GetParameters>(peer, node1, "get_parameters", get).values,
    std::vector{rclcpp::ParameterValue("<robot/>").to_value_msg()});
  for (const auto & names : std::vector<std::vector<std::string>>{
      {"undeclared"}, {"/robot_description", "undeclared"}, {"empty"}})
  {
    get.names = names;
    EXPECT_TRUE(call<GetParameters>(peer, node1, "get_parameters", get).values.empty());
  }
  GetParameterTypes::Request types;
  types.names = {"empty", "a.b.c"};
  EXPECT_EQ(call<GetParameterTypes>(peer, node1, "get_parameter_types", types).types,
    (std::vector<uint8_t>{ParameterType::PARAMETER_NOT_SET, ParameterType::PARAMETER_DOUBLE}));
  DescribeParameters::Request describe;
  describe.names = {"a.b.c"};
  const auto descriptors =
    call<DescribeParameters>(peer, node1, "describe_parameters", describe).descriptors;
  ASSERT_EQ(descriptors.size(), 1u);
  EXPECT_TRUE(descriptors[0].read_only);
  EXPECT_EQ(descriptors[0].type, ParameterType::PARAMETER_DOUBLE);

  ListParameters::Request list;
  auto listed = call<ListParameters>(peer, node1, "list_parameters", list).result;
  EXPECT_EQ(listed.names, (std::vector<std::string>{"/robot_description", "a.b.c", "empty"}));
  EXPECT_EQ(listed.prefixes, std::vector<std::string>{"a.b"});
  list.depth = 1;
  EXPECT_EQ(call<ListParameters>(peer, node1, "list_parameters", list).result.names,
    (std::vector<std::string>{"/robot_description", "empty"}));
  // Below a prefix, depth counts the separators after it, the leading one included.
  list.prefixes = {"a"};
  for (const uint64_t depth : {0, 2, 3}) {
    list.depth = depth;
    EXPECT_EQ(call<ListParameters>(peer, node1, "list_parameters", list).result.names,
      depth == 2 ? std::vector<std::string>{} : std::vector<std::string>{"a.b.c"}) << depth;
  }

  // Each parameter on its own: refusals, an unknown type among them, neither stop nor undo the others.
  SetParameters::Request set;
  for (const auto & parameter : {rclcpp::Parameter("empty", 7), rclcpp::Parameter("empty", "7"),
      rclcpp::Parameter("a.b.c", 2.0), rclcpp::Parameter("undeclared", 1)})
  {
    set.parameters.push_back(parameter.to_parameter_msg());
  }
  set.parameters.push_back(typed("empty", 255));
  set.parameters.push_back(message("", 1));
  const auto results = call<SetParameters>(peer, node1, "set_parameters", set).results;
  ASSERT_EQ(results.size(), 6u);
  EXPECT_TRUE(results[0].successful);
  EXPECT_EQ(results[1].reason,
    "Wrong parameter type, parameter {empty} is of type {integer}, setting it to {string} is not "
    "allowed.");
  EXPECT_EQ(results[2].reason, "parameter 'a.b.c' cannot be set because it is read-only");
  EXPECT_EQ(results[3].reason, "parameter 'undeclared' cannot be set because it was not declared");
  EXPECT_EQ(results[4].reason, "Unknown type: 255");
  EXPECT_EQ(results[5].reason, "parameter name must not be empty");
  SetParametersAtomically::Request atomic;
  atomic.parameters = {rclcpp::Parameter("empty", 8).to_parameter_msg(),
    rclcpp::Parameter("a.b.c", 3.0).to_parameter_msg()};
  EXPECT_FALSE(call<SetParametersAtomically>(peer, node1, "set_parameters_atomically",
    atomic).result.successful);
  EXPECT_EQ(node1->get_parameter("empty").as_int(), 7) << "all or nothing";

  ASSERT_TRUE(spin_until(peer, [&events] {return events.size() == 4;}));
  EXPECT_EQ(events[0].new_parameters.at(0).value.string_value, "<robot/>");
  EXPECT_TRUE(events[1].new_parameters.empty()) << "declared without a value";
  EXPECT_EQ(events[2].new_parameters.at(0).value.double_value, 1.5);
  EXPECT_EQ(events[3].changed_parameters.at(0), rclcpp::Parameter("empty", 7).to_parameter_msg());
}

// An atomic set names the first fault, names (empty, undeclared, read-only) in turn before a value
// that would unset a parameter, before types, and changes nothing.
TEST(ParameterServices, AnAtomicSetNamesTheFirstFaultInOrderAndChangesNothing)
{
  ArgumentsContext context({});
  auto node1 = context.node("node1");
  node1->declare_parameter("text", rclcpp::PARAMETER_STRING);
  node1->declare_parameter("count", rclcpp::ParameterValue(3));
  rcl_interfaces::msg::ParameterDescriptor read_only;
  read_only.read_only = true;
  node1->declare_parameter("fixed", rclcpp::ParameterValue(7), read_only);
  const auto atomically = [&node1](const std::vector<ParameterMessage> & parameters) {
      SetParametersAtomically::Request request;
      request.parameters = parameters;
      return call<SetParametersAtomically>(node1, node1, "set_parameters_atomically", request).result;
    };
  const std::pair<std::vector<ParameterMessage>, std::string> rows[] = {
    {{message("count", 4), message("text", 5), message("undeclared", 1)},
      "One or more parameters were not declared before setting"},
    {{message("count", 4), message("fixed", 8), message("", 1)},
      "parameter 'fixed' cannot be set because it is read-only"},
    {{message("count", 4), message("", 1), message("fixed", 8)}, "parameter name must not be empty"},
    {{message("count", "four"), typed("count", rclcpp::PARAMETER_NOT_SET)},
      "cannot undeclare a statically typed parameter"},
    {{message("count", 4), typed("text", rclcpp::PARAMETER_NOT_SET)},
      "Wrong parameter type, parameter {text} is of type {string}, setting it to {not set} is not "
      "allowed."},
    {{message("count", 4), typed("count", 10)}, "Unknown type: 10"},
  };
  for (const auto & [parameters, reason] : rows) {
    const auto result = atomically(parameters);
    EXPECT_FALSE(result.successful) << reason;
    EXPECT_EQ(result.reason, reason);
    EXPECT_EQ(node1->get_parameter("count").as_int(), 3) << reason;
  }
  EXPECT_TRUE(atomically({message("count", 4), message("text", "set")}).successful);
  EXPECT_EQ(node1->get_parameter("text").as_string(), "set");
}

// A 1 MiB value read a few times over is answered; read a hundred times over (100 MiB), as an
// undeclared name is.
TEST(ParameterServices, AReadWhoseValuesWouldOutgrowMemoryAnswersEmpty)
{
  ArgumentsContext context({});
  auto node1 = context.node("node1");
  node1->declare_parameter("text", rclcpp::ParameterValue(std::string(1 << 20, 'x')));
  GetParameters::Request request;
  request.names.assign(4, "text");
  EXPECT_EQ(call<GetParameters>(node1, node1, "get_parameters", request).values.size(), 4u);
  request.names.assign(100, "text");
  EXPECT_TRUE(call<GetParameters>(node1, node1, "get_parameters", request).values.empty());
}

// The overrides replace the broadcaster's policies and show as read-only parameters; a value
// that names no setting ends the broadcaster's creation.
TEST(QosOverrides, OverridesReplaceTheBroadcastersPoliciesOrEndItsCreation)
{
  ArgumentsContext context({"--ros-args", "-p", "qos_overrides./tf.publisher.depth:=7",
      "-p", "qos_overrides./tf.publisher.reliability:=best_effort",
      "-p", "qos_overrides./tf.publisher.durability:=transient_local"});
  auto plain = context.node("plain")->create_publisher<std_msgs::msg::Bool>("/tf", 10);
  auto node2 = context.node("node2");
  ASSERT_EQ(node2->get_publishers_info_by_topic("/tf").at(0).qos_profile().depth(), 10u)
    << "publishers without overriding options keep their policies";
  plain.reset();
  tf2_ros::TransformBroadcaster broadcaster(node2);
  const auto infos = node2->get_publishers_info_by_topic("/tf");
  ASSERT_EQ(infos.size(), 1u);
  EXPECT_EQ(infos[0].qos_profile(), rclcpp::QoS(7).best_effort().transient_local());
  EXPECT_EQ(node2->get_parameter("qos_overrides./tf.publisher.history").as_string(), "keep_last");
  EXPECT_FALSE(node2->set_parameters({rclcpp::Parameter("qos_overrides./tf.publisher.depth", 1)})
    .at(0).successful);

  for (const char * value : {"history:=keep_some", "depth:=-1", "reliability:=3"}) {
    ArgumentsContext refusing({"--ros-args", "-p", std::string("qos_overrides./tf.publisher.") + value});
    auto node = refusing.node("node2");
    EXPECT_ANY_THROW(tf2_ros::TransformBroadcaster{node}) << value;
  }
}

}  // namespace
