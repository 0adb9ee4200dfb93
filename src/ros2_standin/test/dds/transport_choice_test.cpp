// Each context talks over the transport its init options or the environment choose, and a
// misspelt choice or domain id is refused with a message naming it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "rclcpp/rclcpp.hpp"

#include "../support/dds_test_domain.hpp"

namespace
{

rclcpp::Context::SharedPtr context_with(rclcpp::TransportKind kind)
{
  auto context = std::make_shared<rclcpp::Context>();
  rclcpp::InitOptions options;
  options.shutdown_on_signal = false;
  options.transport = kind;
  context->init(0, nullptr, options);
  return context;
}

std::string error_of(const rclcpp::Context::SharedPtr & context)
{
  try {
    context->transport();
  } catch (const std::runtime_error & error) {
    return error.what();
  }
  return "";
}

TEST(TransportChoice, InitOptionsAndEnvironmentPickThePathAndBadValuesAreRefused)
{
  claim_dds_test_domain();
  auto & in_process = rclcpp::transport::default_transport();
  EXPECT_EQ(&context_with(rclcpp::TransportKind::InProcess)->transport(), &in_process);
  const auto dds = context_with(rclcpp::TransportKind::Dds);
  EXPECT_NE(&dds->transport(), &in_process);

  // ctest sets RAO_TRANSPORT=in_process for every test.
  EXPECT_EQ(&context_with(rclcpp::TransportKind::FromEnvironment)->transport(), &in_process);
  setenv("RAO_TRANSPORT", "shared_memory", 1);
  EXPECT_EQ(error_of(context_with(rclcpp::TransportKind::FromEnvironment)),
    "RAO_TRANSPORT 'shared_memory' names no transport (dds, in_process)");
  setenv("RAO_TRANSPORT", "in_process", 1);
  for (const char * domain : {"seven", "233", "-1"}) {
    setenv("ROS_DOMAIN_ID", domain, 1);
    EXPECT_EQ(error_of(context_with(rclcpp::TransportKind::Dds)),
      std::string("ROS_DOMAIN_ID '") + domain + "' is not a domain id (0 to 232)");
  }
  unsetenv("ROS_DOMAIN_ID");
}

}  // namespace
