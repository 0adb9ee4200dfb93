// The semantic description of the arm the whole system uses.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"
#include "test/urdf_parser/arm6_files.h"

namespace
{
using console_bridge::CONSOLE_BRIDGE_LOG_WARN;

class Arm6Srdf : public testing::Test
{
protected:
  void SetUp() override
  {
    urdf_ = urdf::parseURDFFile(kArm6Urdf);
    ASSERT_TRUE(urdf_);
  }

  std::shared_ptr<urdf::ModelInterface> urdf_;
  srdf::Model srdf_;
};

TEST_F(Arm6Srdf, GroupsStatesVirtualJointEndEffectorAndPairs)
{
  ConsoleCapture capture;
  srdf_.initFile(*urdf_, kArm6Srdf);
  EXPECT_TRUE(capture.atLeast(CONSOLE_BRIDGE_LOG_WARN).empty());
  EXPECT_EQ(srdf_.getName(), "arm6");

  const auto& groups = srdf_.getGroups();
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].name_, "arm");
  EXPECT_EQ(groups[0].chains_, (std::vector<std::pair<std::string, std::string>>{{"base_link", "gripper_link"}}));
  EXPECT_EQ(groups[1].name_, "gripper");
  EXPECT_EQ(groups[1].links_, (std::vector<std::string>{"finger_left_link", "finger_right_link"}));

  const auto& states = srdf_.getGroupStates();
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[0].name_, "home");
  EXPECT_EQ(states[1].name_, "ready");
  EXPECT_EQ(states[1].group_, "arm");
  EXPECT_EQ(states[1].joint_values_.size(), 6u);
  EXPECT_EQ(states[1].joint_values_.at("joint2"), (std::vector<double>{-0.5}));

  ASSERT_EQ(srdf_.getVirtualJoints().size(), 1u);
  const auto& world = srdf_.getVirtualJoints()[0];
  EXPECT_EQ(world.type_, "fixed");
  EXPECT_EQ(world.parent_frame_, "world");
  EXPECT_EQ(world.child_link_, "base_link");

  ASSERT_EQ(srdf_.getEndEffectors().size(), 1u);
  const auto& hand = srdf_.getEndEffectors()[0];
  EXPECT_EQ(hand.name_, "hand");
  EXPECT_EQ(hand.parent_link_, "gripper_link");
  EXPECT_EQ(hand.component_group_, "gripper");
  EXPECT_EQ(hand.parent_group_, "arm");

  const auto& pairs = srdf_.getDisabledCollisionPairs();
  ASSERT_EQ(pairs.size(), 16u);
  EXPECT_EQ(pairs[0].link1_ + " " + pairs[0].link2_ + " " + pairs[0].reason_, "base_link link1 Adjacent");
  EXPECT_EQ(pairs[15].reason_, "Gripper margin");
  EXPECT_TRUE(srdf_.getEnabledCollisionPairs().empty());
}

TEST_F(Arm6Srdf, UnknownNamesAreDroppedWithAWarning)
{
  std::string text = readFile(kArm6Srdf);
  text.insert(text.rfind("</robot>"), "<disable_collisions link1=\"link6\" link2=\"tool0\" reason=\"Never\"/>\n"
                                      "<disable_default_collisions link=\"tool0\"/>\n");
  const std::string path = testing::TempDir() + "arm6_unknown_names.srdf";
  std::ofstream(path) << text;

  ConsoleCapture capture;
  srdf_.initFile(*urdf_, path);
  EXPECT_EQ(srdf_.getDisabledCollisionPairs().size(), 16u);
  EXPECT_TRUE(srdf_.getNoDefaultCollisionLinks().empty());
  ASSERT_EQ(capture.atLeast(CONSOLE_BRIDGE_LOG_WARN).size(), 2u);
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_WARN, "srdf_parser/model", 577,
                               "Link 'tool0' is not known to URDF. Cannot disable/enable collisons."));
  EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_WARN, "srdf_parser/model", 547,
                               "Link 'tool0' is not known to URDF. Cannot specify collision default."));
}
}  // namespace
