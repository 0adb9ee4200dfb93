// The arm6 description as a robot model: tree order, variables, mimic finger, groups and solvers.
#include <gtest/gtest.h>

#include "description_fixture.h"
#include "kinematics/orvane_bot_v3_kinematics.h"
#include "kinematics/six_axis_kinematics.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_model.h"

namespace {

using robot_model::core::JointModel;
using robot_model::core::JointModelGroup;
using robot_model::core::LinkModel;
using robot_model::core::RobotModel;

TEST(Arm6Model, TreeIsDepthFirstWithChildrenByJointName) {
  const auto model = rao_test::arm6Model();
  ASSERT_TRUE(model->isValid());
  EXPECT_EQ(model->getName(), "arm6");
  EXPECT_EQ(model->getModelFrame(), "base_link");
  EXPECT_EQ(model->getRootJointName(), "virtual_joint");
  EXPECT_EQ(model->getRootJoint()->getType(), JointModel::FIXED);
  EXPECT_EQ(model->getRootLinkName(), "base_link");

  const std::vector<std::string> joints = {"virtual_joint", "joint1",       "joint2",        "joint3",
                                           "joint4",        "joint5",       "joint6",        "camera_joint",
                                           "gripper_joint", "finger_left_joint", "finger_right_joint"};
  EXPECT_EQ(model->getJointModelNames(), joints);
  const std::vector<std::string> links = {"base_link", "link1",        "link2",        "link3",
                                          "link4",     "link5",        "link6",        "camera_link",
                                          "gripper_link", "finger_left_link", "finger_right_link"};
  EXPECT_EQ(model->getLinkModelNames(), links);
  for (std::size_t i = 0; i < joints.size(); ++i) {
    const JointModel* joint = model->getJointModels()[i];
    EXPECT_EQ(joint->getJointIndex(), i);
    EXPECT_EQ(joint->getChildLinkModel(), model->getLinkModels()[i]);
    EXPECT_EQ(model->getLinkModels()[i]->getLinkIndex(), i);
    EXPECT_EQ(model->getLinkModels()[i]->getParentJointModel(), joint);
  }
  EXPECT_EQ(model->getLinkModel("gripper_link")->getParentLinkModel(), model->getLinkModel("link6"));
  EXPECT_TRUE(model->getLinkModel("gripper_link")->parentJointIsFixed());
}

TEST(Arm6Model, VariablesActiveJointsAndMimicFinger) {
  const auto model = rao_test::arm6Model();
  EXPECT_EQ(model->getVariableCount(), 8u);
  const std::vector<std::string> active = {"joint1", "joint2", "joint3", "joint4",
                                           "joint5", "joint6", "finger_left_joint"};
  EXPECT_EQ(model->getActiveJointModelNames(), active);
  EXPECT_EQ(model->getVariableIndex("finger_right_joint"), 7);
  EXPECT_EQ(model->getVariableIndex("no_such_joint"), -1);

  ASSERT_EQ(model->getMimicJointModels().size(), 1u);
  const JointModel* mimic = model->getMimicJointModels()[0];
  EXPECT_EQ(mimic->getName(), "finger_right_joint");
  EXPECT_EQ(mimic->getMimic(), model->getJointModel("finger_left_joint"));
  EXPECT_DOUBLE_EQ(mimic->getMimicFactor(), 1.0);
  EXPECT_DOUBLE_EQ(mimic->getMimicOffset(), 0.0);
  ASSERT_EQ(model->getJointModel("finger_left_joint")->getMimicRequests().size(), 1u);
  EXPECT_EQ(model->getJointModel("finger_left_joint")->getMimicRequests()[0], mimic);
}

TEST(Arm6Model, CollisionGeometryAndExtents) {
  const auto model = rao_test::arm6Model();
  const std::vector<std::string> with_geometry = {"base_link", "link1", "link2",       "link3",       "link4",
                                                  "link5",     "link6", "camera_link", "gripper_link"};
  EXPECT_EQ(model->getLinkModelNamesWithCollisionGeometry(), with_geometry);
  // link1 and link3 carry two collision cylinders each.
  EXPECT_EQ(model->getLinkGeometryCount(), 11u);
  EXPECT_EQ(model->getLinkModel("link2")->getFirstCollisionBodyIndex(), 3);
  EXPECT_EQ(model->getLinkModel("finger_left_link")->getFirstCollisionBodyIndex(), -1);
  EXPECT_EQ(model->getLinkModel("finger_left_link")->getVisualMeshFilename(), "package://meshes/finger.stl");
  EXPECT_GT(model->getLinkModel("base_link")->getShapeExtentsAtOrigin().minCoeff(), 0.0);

  const JointModelGroup* arm = model->getJointModelGroup("arm");
  ASSERT_NE(arm, nullptr);
  // Joint ranges of the six arm joints plus the finger stroke, each with distance factor 1.
  EXPECT_NEAR(model->getMaximumExtent(), 6.1 + 4.2 + 5.2 + 6.1 + 4.4 + 12.56 + 0.035, 1e-12);
  EXPECT_NEAR(arm->getMaximumExtent(), 6.1 + 4.2 + 5.2 + 6.1 + 4.4 + 12.56, 1e-12);
}

TEST(Arm6Model, ArmGroupIsAChainWithTheSixAxisSolver) {
  const auto model = rao_test::arm6Model();
  EXPECT_EQ(model->getJointModelGroupNames(), (std::vector<std::string>{"arm", "gripper"}));
  const JointModelGroup* arm = model->getJointModelGroup("arm");
  ASSERT_NE(arm, nullptr);
  EXPECT_TRUE(arm->isChain());
  EXPECT_TRUE(arm->isContiguousWithinState());
  EXPECT_EQ(arm->getVariableCount(), 6u);
  EXPECT_EQ(arm->getActiveJointModelNames(),
            (std::vector<std::string>{"joint1", "joint2", "joint3", "joint4", "joint5", "joint6"}));
  EXPECT_EQ(arm->getLinkModelNames(),
            (std::vector<std::string>{"link1", "link2", "link3", "link4", "link5", "link6", "gripper_link"}));
  ASSERT_NE(arm->getCommonRoot(), nullptr);
  EXPECT_EQ(arm->getCommonRoot()->getName(), "joint1");
  EXPECT_TRUE(arm->getSubgroupNames().empty());
  EXPECT_FALSE(arm->isEndEffector());
  EXPECT_EQ(arm->getAttachedEndEffectorNames(), std::vector<std::string>{"hand"});
  ASSERT_NE(arm->kinematics_interface_ptr_, nullptr);
  EXPECT_NE(dynamic_cast<SixAxisKinematics*>(arm->kinematics_interface_ptr_.get()), nullptr);

  EXPECT_EQ(arm->getDefaultStateNames(), (std::vector<std::string>{"home", "ready"}));
  const std::map<std::string, double>& ready = arm->getDefaultStates().at("ready");
  EXPECT_EQ(ready.size(), 6u);
  EXPECT_DOUBLE_EQ(ready.at("joint2"), -0.5);
  EXPECT_DOUBLE_EQ(ready.at("joint5"), -0.67);

  // Updated links: everything below joint1, the fingers included.
  EXPECT_EQ(arm->getUpdatedLinkModelNames().size(), 10u);
  EXPECT_EQ(arm->getUpdatedLinkModelsWithGeometryNames().size(), 8u);
}

TEST(Arm6Model, GripperIsAnEndEffectorWithoutSolver) {
  const auto model = rao_test::arm6Model();
  const JointModelGroup* gripper = model->getJointModelGroup("gripper");
  ASSERT_NE(gripper, nullptr);
  EXPECT_TRUE(gripper->isEndEffector());
  EXPECT_EQ(gripper->getEndEffectorName(), "hand");
  EXPECT_EQ(gripper->getEndEffectorParentGroup(), std::make_pair(std::string("arm"), std::string("gripper_link")));
  EXPECT_EQ(gripper->kinematics_interface_ptr_, nullptr);
  EXPECT_FALSE(gripper->isChain());
  EXPECT_TRUE(gripper->getSubgroupNames().empty());
  EXPECT_EQ(gripper->getActiveJointModelNames(), std::vector<std::string>{"finger_left_joint"});
  EXPECT_EQ(gripper->getMimicUpdates().size(), 1u);
  EXPECT_EQ(model->getEndEffector("hand"), gripper);
  ASSERT_EQ(model->getEndEffectors().size(), 1u);
}

// The exact-output check of the model's messages.
TEST(Arm6Model, LookupsOfUnknownNamesPrintAndReturnNull) {
  const auto model = rao_test::arm6Model();
  const JointModelGroup* arm = model->getJointModelGroup("arm");
  EXPECT_EQ(rao_test::captureStdout([&] { EXPECT_EQ(model->getLinkModel("nowhere"), nullptr); }),
            "Link 'nowhere' not found in model 'arm6'");
  EXPECT_EQ(rao_test::captureStdout([&] { EXPECT_EQ(model->getJointModelGroup("legs"), nullptr); }),
            "Group 'legs' not found in model 'arm6'\n");
  EXPECT_EQ(rao_test::captureStdout([&] { EXPECT_EQ(arm->getLinkModel("camera_link"), nullptr); }),
            "Link 'camera_link' not found in group 'arm'\n");
  EXPECT_EQ(rao_test::captureStdout([&] { EXPECT_EQ(arm->getJointModel("camera_joint"), nullptr); }),
            "Joint 'camera_joint' not found in group 'arm'\n");
}

TEST(Arm5Model, SingleGroupGetsTheFiveAxisSolver) {
  const RobotModel model(rao_test::arm5Directory(), rao_test::kArm5Urdf, rao_test::kArm5Srdf);
  ASSERT_TRUE(model.isValid());
  ASSERT_EQ(model.getJointModelGroups().size(), 1u);
  const JointModelGroup* arm = model.getJointModelGroups()[0];
  EXPECT_TRUE(arm->isChain());
  EXPECT_EQ(arm->getVariableCount(), 5u);
  ASSERT_NE(arm->kinematics_interface_ptr_, nullptr);
  EXPECT_NE(dynamic_cast<OrvaneBotV3Kinematics*>(arm->kinematics_interface_ptr_.get()), nullptr);
}

}  // namespace
