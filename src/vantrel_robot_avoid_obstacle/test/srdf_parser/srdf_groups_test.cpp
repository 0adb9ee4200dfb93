// Groups, subgroups, chains, group states and end effectors.
#include <string>
#include <vector>

#include "test/srdf_parser/srdf_fixture.h"

namespace
{

TEST_F(SrdfTest, GroupMembersAreTrimmedAndCheckedKindByKind)
{
  const srdf::Model& model = loadBody(R"(
    <group name=" arm ">
      <chain base_link="base_link" tip_link=" tool "/>
      <joint name="j2"/><joint name=" j1"/>
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
    <group name=" e "><link name=" nowhere "/></group>)");
  ASSERT_EQ(model.getGroups().size(), 4u);
  const auto& arm = model.getGroups()[0];
  EXPECT_EQ(arm.name_, "arm");
  EXPECT_EQ(arm.joints_, (Strings{"j2", "j1"}));
  EXPECT_EQ(arm.links_, (Strings{"link1"}));
  EXPECT_EQ(arm.chains_.at(0).second, "tool");
  EXPECT_EQ(arm.subgroups_, (Strings{"hand"})) << "a later group resolves in a later pass";
  EXPECT_EQ(model.getGroups()[2].chains_.size(), 2u) << "a base below its tip, or beside it, shares an ancestor";
  EXPECT_TRUE(model.getGroups()[3].links_.empty()) << "a group of unknown names is stored empty";
  expectReports({"ERROR 'nowhere'", "ERROR Base link", "ERROR ' nowhere '", "WARN ' e '"});
}

TEST_F(SrdfTest, SubgroupCyclesDropEveryGroupThatDependsOnThem)
{
  const srdf::Model& model = loadBody(R"(
    <group name="G3"><group name="G1"/></group>
    <group name="G1"><group name="G2"/></group>
    <group name="ok"><link name="tool"/></group>
    <group name="G2"><group name="G1"/></group>
    <group name="self"><group name="self"/></group>
    <group name="dangling"><group name="none"/></group>)");
  ASSERT_EQ(model.getGroups().size(), 1u);
  EXPECT_EQ(model.getGroups()[0].name_, "ok");
  expectReports({"ERROR 'G3'", "ERROR 'G1'", "ERROR 'G2'", "ERROR 'self'", "ERROR 'dangling'"});
}

TEST_F(SrdfTest, GroupStates)
{
  const srdf::Model& model = loadBody(R"(
    <group name="arm"><joint name="j1"/><joint name="j2"/></group>
    <group_state name=" home " group=" arm ">
      <joint name="j1" value="0.5 1.5"/>
      <joint name="j2" value="1 2 3 x 4"/>
      <joint name="j2" value="7"/>
      <joint name="ghost" value="1"/>
      <joint name="j1"/>
    </group_state>
    <group_state name="empty" group="arm"><joint name="j1" value="up"/></group_state>
    <group_state name="lost" group="legs"/>)");
  ASSERT_EQ(model.getGroupStates().size(), 2u);
  const auto& home = model.getGroupStates()[0];
  EXPECT_EQ(home.name_ + home.group_, "homearm");
  EXPECT_EQ(home.joint_values_.at("j1"), (std::vector<double>{0.5, 1.5}));
  EXPECT_EQ(home.joint_values_.at("j2"), (std::vector<double>{1, 2, 3, 7}));
  EXPECT_TRUE(model.getGroupStates()[1].joint_values_.empty());
  expectReports({"ERROR 'ghost'", "ERROR 'j1'", "ERROR ('up')", "ERROR 'legs'"});
}

TEST_F(SrdfTest, EndEffectors)
{
  const srdf::Model& model = loadBody(R"(
    <group name="hand"><link name="tool"/></group>
    <end_effector name=" grip " group="hand" parent_link=" link2 " parent_group="anything"/>
    <end_effector name="e3" group="feet" parent_link="link2"/>
    <end_effector name="e4" group="hand" parent_link="nowhere"/>
    <end_effector name="e5" group="hand"/>)");
  ASSERT_EQ(model.getEndEffectors().size(), 1u);
  const auto& grip = model.getEndEffectors()[0];
  EXPECT_EQ(grip.name_ + " " + grip.component_group_ + " " + grip.parent_link_, "grip hand link2");
  EXPECT_EQ(grip.parent_group_, "anything") << "the parent group is not checked";
  expectReports({"ERROR 'feet'", "ERROR 'e4'", "ERROR 'e5'"});
}
}  // namespace
