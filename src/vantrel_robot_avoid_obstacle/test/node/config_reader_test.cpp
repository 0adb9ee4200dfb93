// The reader against files that hold no settings; each damaged key is a row of node_object_test, and the file's
// absence is the defaults printout of node_startup_test.
#include <string>

#include <gtest/gtest.h>

#include "node/config_reader.h"
#include "node/ros_two_wrapper.h"
#include "support/node_workspace.h"

TEST(ConfigReader, AFileWithoutSettingsLeavesTheRegistryEmpty) {
  for (const char* text : {"just text\n", "a: {b: [\n"}) {
    NodeWorkspace workspace;
    workspace.writeConfigText(text);
    const ConfigReader reader(RosTwoWrapper::kConfigPath);
    for (const char* name : {"real_robot_flag", "camera1_intrinsic", "tool_matrix"}) {
      const void* value = nullptr;
      testing::internal::CaptureStdout();
      EXPECT_EQ(reader.getParam(name, value), -1) << text << name;
      EXPECT_EQ(testing::internal::GetCapturedStdout(), "config_data_ size is 0 error!\n") << text << name;
      EXPECT_EQ(value, nullptr) << text << name;
    }
  }
}
