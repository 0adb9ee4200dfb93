// The reader against files that hold no settings; each damaged key is a row of node_object_test, the file's
// absence is the defaults printout and a file that cannot be loaded a row of node_startup_test.
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "node/config_reader.h"
#include "node/ros_two_wrapper.h"
#include "support/node_workspace.h"

TEST(ConfigReader, AFileWithoutSettingsLeavesTheRegistryEmptyAndOnlyOneTheParserRefusesIsAnError) {
  const std::pair<const char*, std::string> files[] = {
      {"just text\n", ""},
      {"", ""},
      {"a: {b: [\n", std::string("configuration file ") + RosTwoWrapper::kConfigPath +
                         ", line 2, column 1: end of sequence flow not found"},
  };
  for (const auto& [text, error] : files) {
    NodeWorkspace workspace;
    workspace.writeConfigText(text);
    const ConfigReader reader(RosTwoWrapper::kConfigPath);
    EXPECT_EQ(reader.loadError(), error) << text;
    for (const char* name : {"real_robot_flag", "camera1_intrinsic", "tool_matrix"}) {
      const void* value = nullptr;
      testing::internal::CaptureStdout();
      EXPECT_EQ(reader.getParam(name, value), -1) << text << name;
      EXPECT_EQ(testing::internal::GetCapturedStdout(), "config_data_ size is 0 error!\n") << text << name;
      EXPECT_EQ(value, nullptr) << text << name;
    }
  }
}
