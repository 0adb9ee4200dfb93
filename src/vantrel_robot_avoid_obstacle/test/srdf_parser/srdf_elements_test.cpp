// Every SRDF element: what is kept, trimmed or dropped, with its reports in load order; arm6's SRDF as written.
#include <cctype>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/arm_descriptions.h"
#include "test/support/console_capture.h"
#include "test/support/small_arm.h"

namespace
{
using Strings = std::vector<std::string>;

class SrdfTest : public testing::Test
{
protected:
  // Loads the text as an SRDF file against the URDF, by default the small arm; the capture holds what was logged.
  const srdf::Model& load(const std::string& text, const urdf::ModelInterface& urdf_model = smallArm())
  {
    const std::string path = testing::TempDir() + "srdf_test.srdf";
    std::ofstream(path) << text;
    capture_.clear();
    model_ = srdf::Model();
    model_.initFile(urdf_model, path);
    return model_;
  }

  // Exactly these reports at WARN or above, in order, all from the loader's own source; each given as "<LEVEL> <line>
  // <text>" or as "<LEVEL> <a name the text carries>".
  void expectReports(const Strings& expected) const
  {
    const auto found = capture_.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_WARN);
    ASSERT_EQ(found.size(), expected.size()) << testing::PrintToString(expected);
    for (std::size_t i = 0; i < found.size(); ++i)
    {
      const std::size_t space = expected[i].find(' ');
      const char* level = found[i].level == console_bridge::CONSOLE_BRIDGE_LOG_WARN ? "WARN" : "ERROR";
      const std::string line_and_text = std::to_string(found[i].line) + " " + found[i].text;
      EXPECT_EQ(found[i].source, "srdf_parser/model");
      EXPECT_EQ(level, expected[i].substr(0, space)) << line_and_text;
      const std::string part = expected[i].substr(space + 1);
      const bool whole = std::isdigit(static_cast<unsigned char>(part[0])) != 0;
      EXPECT_TRUE(whole ? line_and_text == part : line_and_text.find(part) != std::string::npos) << line_and_text;
    }
  }

  ConsoleCapture capture_;
  srdf::Model model_;
};

TEST_F(SrdfTest, FileAndRobotElementFaults)
{
  capture_.clear();
  model_.initFile(smallArm(), "/nonexistent/%s.srdf");
  expectReports({"ERROR [/nonexistent/%s.srdf]"});
  load("<robot name=\"arm\"><group name=\"g\">");
  expectReports({"ERROR XML"});
  EXPECT_TRUE(load("<model name=\"arm\"/>").getName().empty());
  expectReports({"ERROR 'robot'"});
}

TEST_F(SrdfTest, GroupsStatesAndEndEffectors)
{
  const srdf::Model& model = load(R"(<robot name="arm">
    <group name=" arm ">
      <chain base_link="base_link" tip_link=" tool "/>
      <joint name="joint2"/><joint name=" joint1"/>
      <link name="link1 "/>
      <group name="hand"/>
    </group>
    <group name="hand"><link name="tool"/></group>
    <group name="g">
      <chain base_link="tool" tip_link="link1"/>
      <chain base_link="camera" tip_link="tool"/>
      <chain base_link="base_link" tip_link="nowhere"/>
      <chain tip_link="tool"/>
    </group>
    <group name="G3"><group name="G1"/></group>
    <group name="G1"><group name="G2"/></group>
    <group name="G2"><group name="G1"/></group>
    <group name="self"><group name="self"/></group>
    <group name="dangling"><group name="none"/></group>
    <group_state name=" home " group=" arm ">
      <joint name="joint1" value="0.5 1.5"/>
      <joint name="joint2" value="1 2 3 x 4"/>
      <joint name="joint2" value="7"/>
      <joint name="ghost" value="1"/>
      <joint name="joint1"/>
    </group_state>
    <group_state name="empty" group="arm"><joint name="joint1" value="up"/></group_state>
    <group_state name="lost" group="legs"/>
    <end_effector name=" grip " group="hand" parent_link=" link2 " parent_group="anything"/>
    <end_effector name="e3" group="feet" parent_link="link2"/>
    <end_effector name="e4" group="hand" parent_link="nowhere"/>
    <end_effector name="e5" group="hand"/></robot>)");
  // Subgroup cycles drop every group that depends on them.
  ASSERT_EQ(model.getGroups().size(), 3u);
  const auto& arm = model.getGroups()[0];
  EXPECT_EQ(arm.name_, "arm");
  EXPECT_EQ(arm.joints_, (Strings{"joint2", "joint1"}));
  EXPECT_EQ(arm.links_, (Strings{"link1"}));
  EXPECT_EQ(arm.chains_.at(0).second, "tool");
  EXPECT_EQ(arm.subgroups_, (Strings{"hand"})) << "a later group resolves in a later pass";
  EXPECT_EQ(model.getGroups()[2].chains_.size(), 2u) << "a base below its tip, or beside it, shares an ancestor";

  ASSERT_EQ(model.getGroupStates().size(), 2u);
  const auto& home = model.getGroupStates()[0];
  EXPECT_EQ(home.name_ + home.group_, "homearm");
  EXPECT_EQ(home.joint_values_.at("joint1"), (std::vector<double>{0.5, 1.5}));
  EXPECT_EQ(home.joint_values_.at("joint2"), (std::vector<double>{1, 2, 3, 7}));
  EXPECT_TRUE(model.getGroupStates()[1].joint_values_.empty());

  ASSERT_EQ(model.getEndEffectors().size(), 1u);
  const auto& grip = model.getEndEffectors()[0];
  EXPECT_EQ(grip.name_ + " " + grip.component_group_ + " " + grip.parent_link_, "grip hand link2");
  EXPECT_EQ(grip.parent_group_, "anything") << "the parent group is not checked";
  expectReports({"ERROR 'nowhere'", "ERROR Base link", "ERROR 'G3'", "ERROR 'G1'", "ERROR 'G2'", "ERROR 'self'",
                 "ERROR 'dangling'", "ERROR 'ghost'", "ERROR 'joint1'", "ERROR ('up')", "ERROR 'legs'", "ERROR 'feet'",
                 "ERROR 'e4'", "ERROR 'e5'"});
}

TEST_F(SrdfTest, JointsSpheresAndCollisionPairs)
{
  const srdf::Model& model = load(R"(<robot name="arm">
    <virtual_joint name=" v1 " type=" Planar" parent_frame="odom" child_link="base_link"/>
    <virtual_joint name="v2" type="prismatic" parent_frame="world" child_link="base_link"/>
    <virtual_joint name="v3" type="fixed" parent_frame="world" child_link="nowhere"/>
    <virtual_joint name="v4" parent_frame="world" child_link="base_link"/>
    <group name="g"><joint name="v2"/><joint name="v3"/></group>
    <link_sphere_approximation link="link1">
      <sphere center="0 0 0" radius="0"/><sphere center="1 2 3" radius="0.1"/></link_sphere_approximation>
    <link_sphere_approximation link="link2">
      <sphere center="5 5 5" radius="0"/><sphere center="1 1 1" radius="-1"/></link_sphere_approximation>
    <link_sphere_approximation link="tool"><sphere center="1 2" radius="0.1"/><sphere radius="0.1"/>
      <sphere center="0 0 0" radius="r"/><sphere center="0 0 0" radius="1e999"/></link_sphere_approximation>
    <link_sphere_approximation link=" ghost"><sphere center="0 0 0" radius="1"/></link_sphere_approximation>
    <disable_collisions link1="link1" link2=" link2" reason=" Adjacent "/>
    <disable_collisions link1="link2" link2="link1"/>
    <disable_collisions link1="link1" link2="ghost"/>
    <disable_collisions link1="link1"/>
    <enable_collisions link1="tool" link2="camera"/>
    <disable_default_collisions link="camera"/><disable_default_collisions link="ghost"/>
    <passive_joint name=" joint2 "/><passive_joint name="ghost"/><passive_joint/>
    <joint_property joint_name=" joint1 " property_name=" angular_distance_weight " value=" 0.5 "/>
    <joint_property joint_name=" ghost " property_name="p" value="v"/>
    <joint_property joint_name="joint2" value="v"/></robot>)");
  ASSERT_EQ(model.getVirtualJoints().size(), 2u);
  const auto& v1 = model.getVirtualJoints()[0];
  EXPECT_EQ(v1.name_ + " " + v1.type_ + " " + v1.parent_frame_, "v1 planar odom");
  EXPECT_EQ(model.getVirtualJoints()[1].type_, "fixed");
  // A declared virtual joint counts as a joint of a group; a dropped one does not.
  EXPECT_EQ(model.getGroups()[0].joints_, (Strings{"v2"}));

  // Zero radii give way to positive ones; a link whose every sphere was rejected gets no record.
  const auto& all = model.getLinkSphereApproximations();
  ASSERT_EQ(all.size(), 2u);
  ASSERT_EQ(all[0].spheres_.size(), 1u);
  EXPECT_EQ(all[0].spheres_[0].radius_, 0.1);
  EXPECT_EQ(all[0].spheres_[0].center_y_, 2.0);
  // Only zero or negative radii: one zero sphere at the origin.
  ASSERT_EQ(all[1].spheres_.size(), 1u);
  EXPECT_EQ(all[1].spheres_[0].center_x_, 0.0);
  EXPECT_EQ(all[1].spheres_[0].radius_, 0.0);

  // Collision pairs keep their order and repeats.
  const auto& disabled = model.getDisabledCollisionPairs();
  ASSERT_EQ(disabled.size(), 2u);
  EXPECT_EQ(disabled[0].link2_ + disabled[0].reason_, "link2 Adjacent ");
  EXPECT_EQ(disabled[1].link1_ + disabled[1].reason_, "link2");
  ASSERT_EQ(model.getEnabledCollisionPairs().size(), 1u);
  EXPECT_EQ(model.getNoDefaultCollisionLinks(), (Strings{"camera"}));

  ASSERT_EQ(model.getPassiveJoints().size(), 1u);
  EXPECT_EQ(model.getPassiveJoints()[0].name_, "joint2");
  const auto& properties = model.getJointProperties("joint1");
  ASSERT_EQ(model.getJointProperties().size(), 1u);
  ASSERT_EQ(properties.size(), 1u);
  EXPECT_EQ(properties[0].property_name_ + properties[0].value_, "angular_distance_weight 0.5 ") << "values as written";
  expectReports({"ERROR 'prismatic'", "ERROR 'nowhere'", "ERROR Type of virtual joint", "ERROR 'v3'",
                 "ERROR sphere 0 for link 'tool'", "ERROR sphere 1 for link 'tool'", "ERROR sphere 2 for link 'tool'",
                 "ERROR sphere 3 for link 'tool'", "ERROR ' ghost'", "WARN 'ghost'", "WARN 'ghost'",
                 "ERROR pair of links", "ERROR 'ghost'", "ERROR passive joint", "ERROR 'ghost'", "ERROR 'joint2'"});
}

// The groups, virtual joint and pairs as written (the model test sees the states and end effector); then unknown
// names dropped with a warning, the exact-output check of the loader's messages.
TEST_F(SrdfTest, Arm6AsWrittenAndUnknownNamesDropped)
{
  using arm_descriptions::kArm6Dir;
  const auto arm6 = urdf::parseURDFFile(kArm6Dir + arm_descriptions::kArm6Urdf);
  ASSERT_TRUE(arm6);
  std::string text = arm_descriptions::readFile(kArm6Dir + arm_descriptions::kArm6Srdf);
  const srdf::Model& srdf = load(text, *arm6);
  expectReports({});
  const auto& groups = srdf.getGroups();
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[1].links_, (Strings{"finger_left_link", "finger_right_link"}));
  ASSERT_EQ(srdf.getVirtualJoints().size(), 1u);
  const auto& world = srdf.getVirtualJoints()[0];
  EXPECT_EQ(world.type_ + " " + world.parent_frame_ + " " + world.child_link_, "fixed world base_link");
  const auto& pairs = srdf.getDisabledCollisionPairs();
  ASSERT_EQ(pairs.size(), 16u);
  EXPECT_EQ(pairs[0].link1_ + " " + pairs[0].link2_ + " " + pairs[0].reason_, "base_link link1 Adjacent");

  text.insert(text.rfind("</robot>"), "<disable_collisions link1=\"link6\" link2=\"tool0\" reason=\"Never\"/>\n"
                                      "<disable_default_collisions link=\"tool0\"/>\n");
  EXPECT_EQ(load(text, *arm6).getDisabledCollisionPairs().size(), 16u);
  EXPECT_TRUE(model_.getNoDefaultCollisionLinks().empty());
  expectReports({"WARN 547 Link 'tool0' is not known to URDF. Cannot specify collision default.",
                 "WARN 577 Link 'tool0' is not known to URDF. Cannot disable/enable collisons."});
}
}  // namespace
