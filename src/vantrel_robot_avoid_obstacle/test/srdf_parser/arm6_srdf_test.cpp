// The semantic description of the arm the whole system uses.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"

namespace
{
const std::string kArm6Dir = std::string(RAO_SOURCE_DIR) +
                             "/src/robot_avoid_obstacle/resources/robot_descriptions/"
                             "arm6_description/";
const std::string kArm6Urdf = kArm6Dir + "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
const std::string kArm6Srdf = kArm6Dir + "srdf/arm6_and_whole_gripper_linker.srdf";

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

TEST_F(Arm6Srdf, GroupsStatesAndEndEffector)
{
  ConsoleCapture capture;
  srdf_.initFile(*urdf_, kArm6Srdf);
  EXPECT_TRUE(capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_WARN).empty());
  EXPECT_EQ(srdf_.getName(), "arm6");

  const auto& groups = srdf_.getGroups();
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].name_, "arm");
  ASSERT_EQ(groups[0].chains_.size(), 1u);
  EXPECT_EQ(groups[0].chains_[0], (std::pair<std::string, std::string>{"base_link", "gripper_link"}));
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
  EXPECT_EQ(pairs[0].link1_, "base_link");
  EXPECT_EQ(pairs[0].link2_, "link1");
  EXPECT_EQ(pairs[0].reason_, "Adjacent");
  EXPECT_EQ(pairs[15].reason_, "Gripper margin");
  EXPECT_TRUE(srdf_.getEnabledCollisionPairs().empty());
}

TEST_F(Arm6Srdf, UnknownNamesAreDroppedWithAWarning)
{
  std::ifstream stream(kArm6Srdf);
  std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  const std::string extra =
      "<disable_collisions link1=\"link6\" link2=\"tool0\" reason=\"Never\"/>\n"
      "<disable_default_collisions link=\"tool0\"/>\n";
  text.insert(text.rfind("</robot>"), extra);
  const std::string path = testing::TempDir() + "arm6_unknown_names.srdf";
  std::ofstream(path) << text;

  ConsoleCapture capture;
  srdf_.initFile(*urdf_, path);
  EXPECT_EQ(srdf_.getDisabledCollisionPairs().size(), 16u);
  EXPECT_TRUE(srdf_.getNoDefaultCollisionLinks().empty());
  const auto reported = capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_WARN);
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_TRUE(capture.contains(console_bridge::CONSOLE_BRIDGE_LOG_WARN, "srdf_parser/model", 577,
                               "Link 'tool0' is not known to URDF. Cannot disable/enable collisons."));
  EXPECT_TRUE(capture.contains(console_bridge::CONSOLE_BRIDGE_LOG_WARN, "srdf_parser/model", 547,
                               "Link 'tool0' is not known to URDF. Cannot specify collision default."));
}
}  // namespace
