// File level, robot element, virtual joints, passive joints and joint properties.
#include "test/srdf_parser/srdf_fixture.h"

namespace
{
TEST_F(SrdfTest, FileLevelFaultsLeaveAnEmptyModel)
{
  capture_.clear();
  model_.initFile(*smallArm(), "/nonexistent/%s.srdf");
  EXPECT_TRUE(model_.getName().empty());
  expectReports({"ERROR [/nonexistent/%s.srdf]"});

  load("<robot name=\"arm\"><group name=\"g\">");
  expectReports({"ERROR XML"});

  EXPECT_TRUE(load("<model name=\"arm\"/>").getName().empty());
  expectReports({"ERROR 'robot'"});
}

TEST_F(SrdfTest, RobotNameFaultsDoNotStopTheLoad)
{
  EXPECT_EQ(load("<robot><passive_joint name=\"j1\"/></robot>").getPassiveJoints().size(), 1u);
  expectReports({"ERROR robot"});
  const srdf::Model& model = load("<robot name=\" other \"><passive_joint name=\"j1\"/></robot>");
  EXPECT_EQ(model.getName(), "other");
  EXPECT_EQ(model.getPassiveJoints().size(), 1u);
  expectReports({"ERROR same robot"});
}

TEST_F(SrdfTest, VirtualJointTypesAndMembership)
{
  const srdf::Model& model = loadBody(R"(
    <virtual_joint name=" v1 " type=" Planar" parent_frame="odom" child_link="base_link"/>
    <virtual_joint name="v2" type="prismatic" parent_frame="world" child_link="base_link"/>
    <virtual_joint name="v3" type="fixed" parent_frame="world" child_link="nowhere"/>
    <virtual_joint name="v4" parent_frame="world" child_link="base_link"/>
    <group name="g"><joint name="v2"/><joint name="v3"/></group>)");
  ASSERT_EQ(model.getVirtualJoints().size(), 2u);
  const auto& v1 = model.getVirtualJoints()[0];
  EXPECT_EQ(v1.name_ + " " + v1.type_ + " " + v1.parent_frame_, "v1 planar odom");
  EXPECT_EQ(model.getVirtualJoints()[1].type_, "fixed");
  // A declared virtual joint counts as a joint of a group; a dropped one does not.
  EXPECT_EQ(model.getGroups()[0].joints_, (Strings{"v2"}));
  expectReports({"ERROR 'prismatic'", "ERROR 'nowhere'", "ERROR Type of virtual joint", "ERROR 'v3'"});
}

TEST_F(SrdfTest, PassiveJointsAndProperties)
{
  const srdf::Model& model = loadBody(R"(
    <passive_joint name=" j2 "/><passive_joint name="ghost"/><passive_joint/>
    <joint_property joint_name=" j1 " property_name=" angular_distance_weight " value=" 0.5 "/>
    <joint_property joint_name=" ghost " property_name="p" value="v"/>
    <joint_property joint_name="j2" value="v"/>)");
  ASSERT_EQ(model.getPassiveJoints().size(), 1u);
  EXPECT_EQ(model.getPassiveJoints()[0].name_, "j2");
  const auto& properties = model.getJointProperties("j1");
  ASSERT_EQ(model.getJointProperties().size(), 1u);
  ASSERT_EQ(properties.size(), 1u);
  EXPECT_EQ(properties[0].property_name_ + properties[0].value_, "angular_distance_weight 0.5 ") << "values as written";
  expectReports({"ERROR 'ghost'", "ERROR passive joint", "ERROR 'ghost'", "ERROR 'j2'"});
}
}  // namespace
