// What a node is given: node, namespace, topic and service names (expansion, and rejection with
// the library's exception types), and parameters declared with a type and no value, then set.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "rclcpp/exceptions.hpp"
#include "rclcpp/expand_topic_or_service_name.hpp"
#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/bool.hpp"

#include "../support/ros_test_support.hpp"

namespace
{

using rclcpp::expand_topic_or_service_name;

// Names expand in their namespace, or are refused at the offending character; the message of
// the first refusal is checked whole.
TEST(NameExpansion, NamesExpandOrAreRefusedAtTheOffendingCharacter)
{
  const char * const valid[][3] = {
    // name, namespace, expanded
    {"visualization_marker", "/", "/visualization_marker"},
    {"visualization_marker", "/arm", "/arm/visualization_marker"},
    {"/tf", "/arm", "/tf"},
    {"~/state", "/", "/node1/state"},
    {"~/state", "/arm", "/arm/node1/state"},
    {"~", "/arm", "/arm/node1"},
    {"{node}/state", "/", "/node1/state"},
  };
  for (const auto & c : valid) {
    EXPECT_EQ(expand_topic_or_service_name(c[0], "node1", c[1]), c[2]) << c[0] << " in " << c[1];
  }
  const std::pair<const char *, size_t> invalid[] = {
    {"bad name", 3}, {"", 0}, {"trailing/", 8}, {"/a//b", 3}, {"/9lives", 1}, {"1st", 0},
    {"a~b", 1}, {"~foo", 1}, {"{node", 0}, {"a}", 1},
  };
  for (const auto & [name, index] : invalid) {
    try {
      expand_topic_or_service_name(name, "node1", "/");
      ADD_FAILURE() << "accepted '" << name << "'";
    } catch (const rclcpp::exceptions::InvalidTopicNameError & error) {
      EXPECT_EQ(error.name_type, "topic name");
      EXPECT_EQ(error.invalid_index, index) << name << ": " << error.what();
      if (name == invalid[0].first) {
        EXPECT_EQ(std::string(error.what()),
          "Invalid topic name: topic name must not contain characters other than alphanumerics, "
          "'_', '~', '{', or '}':\n  'bad name'\n      ^\n");
      }
    }
  }
  EXPECT_THROW(expand_topic_or_service_name("bad name", "node1", "/", true),
    rclcpp::exceptions::InvalidServiceNameError);
}

class Nodes : public RosTest {};

// Nothing with an invalid name is created or registered.
TEST_F(Nodes, NamespacesAreMadeAbsoluteAndInvalidNamesAreRefused)
{
  auto nested = std::make_shared<rclcpp::Node>("node2", "arm/left");
  EXPECT_STREQ(nested->get_namespace(), "/arm/left");
  EXPECT_STREQ(nested->get_fully_qualified_name(), "/arm/left/node2");
  for (const char * name : {"", "my-node", "1node"}) {
    EXPECT_THROW(rclcpp::Node{name}, rclcpp::exceptions::InvalidNodeNameError) << name;
  }
  for (const char * name_space : {"/a/", "/a//b", "/a/7b"}) {
    EXPECT_THROW(rclcpp::Node("node", name_space), rclcpp::exceptions::InvalidNamespaceError)
      << name_space;
  }
  EXPECT_THROW(nested->create_publisher<std_msgs::msg::Bool>("collision enable", 1),
    rclcpp::exceptions::InvalidTopicNameError);
  const auto topics = nested->get_topic_names_and_types();
  EXPECT_EQ(topics.size(), 1u);
  EXPECT_EQ(topics.count("/parameter_events"), 1u) << "the nodes' own";
}

TEST_F(Nodes, ParametersDeclaredWithoutValueThenSetAndMisuseRefused)
{
  auto node = std::make_shared<rclcpp::Node>("node1");
  const auto & value = node->declare_parameter("/robot_description", rclcpp::PARAMETER_STRING);
  EXPECT_EQ(value.get_type(), rclcpp::PARAMETER_NOT_SET);
  EXPECT_THROW(node->get_parameter("/robot_description"),
    rclcpp::exceptions::ParameterUninitializedException);

  EXPECT_TRUE(node->set_parameters(
    {rclcpp::Parameter("/robot_description", std::string("<robot name=\"arm6\"/>"))}).at(0).successful);
  EXPECT_EQ(node->get_parameter("/robot_description").as_string(), "<robot name=\"arm6\"/>");

  node->set_parameters({rclcpp::Parameter("/robot_description", "second")});
  EXPECT_EQ(node->get_parameter("/robot_description").as_string(), "second");
  // A value of another type, a read-only parameter, an undeclared name and a second declaration
  // are refused; nothing already held changes.
  const auto refused = node->set_parameters({rclcpp::Parameter("/robot_description", 5)}).at(0);
  EXPECT_FALSE(refused.successful);
  EXPECT_NE(refused.reason.find("{/robot_description} is of type {string}"), std::string::npos);
  rcl_interfaces::msg::ParameterDescriptor read_only;
  read_only.read_only = true;
  node->declare_parameter("fixed", rclcpp::PARAMETER_INTEGER, read_only);
  EXPECT_FALSE(node->set_parameters({rclcpp::Parameter("fixed", 3)})[0].successful);
  EXPECT_THROW(node->set_parameters({rclcpp::Parameter("unknown", true)}),
    rclcpp::exceptions::ParameterNotDeclaredException);
  EXPECT_THROW(node->get_parameter("unknown"), rclcpp::exceptions::ParameterNotDeclaredException);
  EXPECT_THROW(node->declare_parameter("/robot_description", rclcpp::PARAMETER_STRING),
    rclcpp::exceptions::ParameterAlreadyDeclaredException);
  EXPECT_EQ(node->get_parameter("/robot_description").as_string(), "second");
  EXPECT_THROW(node->declare_parameter("none", rclcpp::PARAMETER_NOT_SET), std::invalid_argument);
  EXPECT_THROW(node->declare_parameter("", rclcpp::PARAMETER_BOOL),
    rclcpp::exceptions::InvalidParametersException);
}

}  // namespace
