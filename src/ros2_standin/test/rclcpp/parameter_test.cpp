// Parameters declared with a type and no value, then set and read back.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "rclcpp/rclcpp.hpp"

#include "../support/ros_test_support.hpp"

namespace
{

class Parameters : public RosTest
{
protected:
  std::shared_ptr<rclcpp::Node> node_ = std::make_shared<rclcpp::Node>("node1");
};

TEST_F(Parameters, DeclaredWithoutValueThenSet)
{
  const auto & value = node_->declare_parameter("/robot_description", rclcpp::PARAMETER_STRING);
  EXPECT_EQ(value.get_type(), rclcpp::PARAMETER_NOT_SET);
  EXPECT_TRUE(node_->has_parameter("/robot_description"));
  EXPECT_THROW(node_->get_parameter("/robot_description"),
    rclcpp::exceptions::ParameterUninitializedException);

  const auto results = node_->set_parameters(
    {rclcpp::Parameter("/robot_description", std::string("<robot name=\"arm6\"/>"))});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_TRUE(results[0].successful);
  const auto parameter = node_->get_parameter("/robot_description");
  EXPECT_EQ(parameter.get_type(), rclcpp::PARAMETER_STRING);
  EXPECT_EQ(parameter.as_string(), "<robot name=\"arm6\"/>");

  node_->set_parameters({rclcpp::Parameter("/robot_description", "second")});
  EXPECT_EQ(node_->get_parameter("/robot_description").as_string(), "second");
}

// A value of another type, a read-only parameter, an undeclared name and a second declaration
// are refused; nothing already held changes.
TEST_F(Parameters, MisuseIsRefused)
{
  node_->declare_parameter("rate", rclcpp::PARAMETER_DOUBLE);
  const auto results = node_->set_parameters({rclcpp::Parameter("rate", 5)});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_FALSE(results[0].successful);
  EXPECT_NE(results[0].reason.find("{rate} is of type {double}"), std::string::npos);
  EXPECT_THROW(node_->get_parameter("rate"), rclcpp::exceptions::ParameterUninitializedException);
  EXPECT_TRUE(node_->set_parameters({rclcpp::Parameter("rate", 2.5)})[0].successful);
  EXPECT_THROW(node_->get_parameter("rate").as_string(), rclcpp::ParameterTypeException);

  rcl_interfaces::msg::ParameterDescriptor read_only;
  read_only.read_only = true;
  node_->declare_parameter("fixed", rclcpp::PARAMETER_INTEGER, read_only);
  EXPECT_FALSE(node_->set_parameters({rclcpp::Parameter("fixed", 3)})[0].successful);

  EXPECT_THROW(node_->set_parameters({rclcpp::Parameter("unknown", true)}),
    rclcpp::exceptions::ParameterNotDeclaredException);
  EXPECT_THROW(node_->get_parameter("unknown"), rclcpp::exceptions::ParameterNotDeclaredException);
  EXPECT_THROW(node_->declare_parameter("rate", rclcpp::PARAMETER_DOUBLE),
    rclcpp::exceptions::ParameterAlreadyDeclaredException);
  EXPECT_EQ(node_->get_parameter("rate").as_double(), 2.5);
  EXPECT_THROW(node_->declare_parameter("none", rclcpp::PARAMETER_NOT_SET), std::invalid_argument);
  EXPECT_THROW(node_->declare_parameter("", rclcpp::PARAMETER_BOOL),
    rclcpp::exceptions::InvalidParametersException);
}

}  // namespace
