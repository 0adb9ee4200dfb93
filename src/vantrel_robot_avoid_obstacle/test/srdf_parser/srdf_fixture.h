#pragma once

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"

// A small arm: base_link -j1-> link1 -j2-> link2 -tool_joint-> tool, and base_link -cam_joint-> camera.
inline std::shared_ptr<urdf::ModelInterface> smallArm()
{
  static const std::shared_ptr<urdf::ModelInterface> model = urdf::parseURDF(R"(<robot name="arm">
    <link name="base_link"/><link name="link1"/><link name="link2"/><link name="tool"/><link name="camera"/>
    <joint name="j1" type="continuous"><parent link="base_link"/><child link="link1"/></joint>
    <joint name="j2" type="continuous"><parent link="link1"/><child link="link2"/></joint>
    <joint name="tool_joint" type="fixed"><parent link="link2"/><child link="tool"/></joint>
    <joint name="cam_joint" type="fixed"><parent link="base_link"/><child link="camera"/></joint>
  </robot>)");
  return model;
}

using Strings = std::vector<std::string>;

class SrdfTest : public testing::Test
{
protected:
  // Loads the text as an SRDF file against the URDF, by default the small arm; the capture holds what was logged.
  const srdf::Model& load(const std::string& text, const urdf::ModelInterface& urdf_model = *smallArm())
  {
    const std::string path = testing::TempDir() + "srdf_test.srdf";
    std::ofstream(path) << text;
    capture_.clear();
    model_ = srdf::Model();
    model_.initFile(urdf_model, path);
    return model_;
  }

  const srdf::Model& loadBody(const std::string& body) { return load("<robot name=\"arm\">" + body + "</robot>"); }

  // What was logged at WARN or above, in order, each as "<LEVEL> <line> <text>" (all from the loader's own source).
  Strings reported() const
  {
    Strings found;
    for (const auto& m : capture_.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_WARN))
    {
      EXPECT_EQ(m.source, "srdf_parser/model");
      found.push_back((m.level == console_bridge::CONSOLE_BRIDGE_LOG_WARN ? "WARN " : "ERROR ") +
                      std::to_string(m.line) + " " + m.text);
    }
    return found;
  }

  // Exactly these reports, in order, each given as "<LEVEL> <a name it carries>".
  void expectReports(const Strings& expected) const
  {
    const Strings found = reported();
    ASSERT_EQ(found.size(), expected.size()) << testing::PrintToString(found);
    for (std::size_t i = 0; i < found.size(); ++i)
    {
      const std::size_t space = expected[i].find(' ');
      EXPECT_EQ(found[i].substr(0, space + 1), expected[i].substr(0, space + 1)) << found[i];
      EXPECT_NE(found[i].find(expected[i].substr(space + 1)), std::string::npos) << found[i];
    }
  }

  ConsoleCapture capture_;
  srdf::Model model_;
};
