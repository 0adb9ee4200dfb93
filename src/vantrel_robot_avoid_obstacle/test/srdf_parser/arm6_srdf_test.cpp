// The semantic description of the arm the whole system uses.
#include <string>
#include <utility>
#include <vector>

#include "test/srdf_parser/srdf_fixture.h"
#include "test/support/arm_descriptions.h"

namespace
{
using arm_descriptions::kArm6Dir;

// The groups, states, virtual joint, end effector and pairs as written; then unknown names dropped with a warning,
// the exact-output check of the loader's messages.
TEST_F(SrdfTest, Arm6AsWrittenAndUnknownNamesDropped)
{
  const auto arm6 = urdf::parseURDFFile(kArm6Dir + arm_descriptions::kArm6Urdf);
  ASSERT_TRUE(arm6);
  std::string text = arm_descriptions::readFile(kArm6Dir + arm_descriptions::kArm6Srdf);
  const srdf::Model& srdf = load(text, *arm6);
  EXPECT_TRUE(reported().empty());
  EXPECT_EQ(srdf.getName(), "arm6");
  const auto& groups = srdf.getGroups();
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].chains_, (std::vector<std::pair<std::string, std::string>>{{"base_link", "gripper_link"}}));
  EXPECT_EQ(groups[1].links_, (Strings{"finger_left_link", "finger_right_link"}));
  const auto& states = srdf.getGroupStates();
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[0].name_ + " " + states[1].name_ + " " + states[1].group_, "home ready arm");
  EXPECT_EQ(states[1].joint_values_.at("joint2"), (std::vector<double>{-0.5}));
  ASSERT_EQ(srdf.getVirtualJoints().size(), 1u);
  const auto& world = srdf.getVirtualJoints()[0];
  EXPECT_EQ(world.type_ + " " + world.parent_frame_ + " " + world.child_link_, "fixed world base_link");
  ASSERT_EQ(srdf.getEndEffectors().size(), 1u);
  const auto& hand = srdf.getEndEffectors()[0];
  EXPECT_EQ(hand.name_ + " " + hand.parent_link_ + " " + hand.component_group_ + " " + hand.parent_group_,
            "hand gripper_link gripper arm");
  const auto& pairs = srdf.getDisabledCollisionPairs();
  ASSERT_EQ(pairs.size(), 16u);
  EXPECT_EQ(pairs[0].link1_ + " " + pairs[0].link2_ + " " + pairs[0].reason_, "base_link link1 Adjacent");
  EXPECT_EQ(pairs[15].reason_, "Gripper margin");
  EXPECT_TRUE(srdf.getEnabledCollisionPairs().empty());

  text.insert(text.rfind("</robot>"), "<disable_collisions link1=\"link6\" link2=\"tool0\" reason=\"Never\"/>\n"
                                      "<disable_default_collisions link=\"tool0\"/>\n");
  EXPECT_EQ(load(text, *arm6).getDisabledCollisionPairs().size(), 16u);
  EXPECT_TRUE(model_.getNoDefaultCollisionLinks().empty());
  EXPECT_EQ(reported(), (Strings{"WARN 547 Link 'tool0' is not known to URDF. Cannot specify collision default.",
                                 "WARN 577 Link 'tool0' is not known to URDF. Cannot disable/enable collisons."}));
}
}  // namespace
