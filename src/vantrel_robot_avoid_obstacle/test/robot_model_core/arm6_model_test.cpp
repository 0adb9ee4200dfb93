// The arm descriptions as robot models: arm6's tree order, variables, mimic finger, groups and solvers; arm5's
// solver; and the MDH table each arm joint must carry (the solvers' closed forms are written for these tables).
#include <gtest/gtest.h>

#include "description_fixture.h"
#include "kinematics/orvane_bot_v3_kinematics.h"
#include "kinematics/six_axis_kinematics.h"
#include "robot_model/core/joint_model_group.h"
#include "test/kinematics/arm_tables.h"

namespace {

using robot_model::core::JointModel;
using robot_model::core::JointModelGroup;
using Names = std::vector<std::string>;

TEST(Arm6Model, TreeVariablesMimicFingerAndCollisionGeometry) {
  const auto model = rao_test::arm6Model();
  ASSERT_TRUE(model->isValid());
  EXPECT_EQ(model->getModelFrame(), "base_link");
  EXPECT_EQ(model->getRootJoint()->getType(), JointModel::FIXED);
  // Depth first, children by joint name.
  EXPECT_EQ(model->getJointModelNames(),
            (Names{"virtual_joint", "joint1", "joint2", "joint3", "joint4", "joint5", "joint6", "camera_joint",
                   "gripper_joint", "finger_left_joint", "finger_right_joint"}));
  for (std::size_t i = 0; i < model->getJointModelCount(); ++i) {
    EXPECT_EQ(model->getJointModels()[i]->getChildLinkModel(), model->getLinkModels()[i]);
  }
  EXPECT_EQ(model->getActiveJointModelNames(),
            (Names{"joint1", "joint2", "joint3", "joint4", "joint5", "joint6", "finger_left_joint"}));
  EXPECT_EQ(model->getVariableCount(), 8u);
  EXPECT_EQ(model->getVariableIndex("finger_right_joint"), 7);
  EXPECT_EQ(model->getVariableIndex("no_such_joint"), -1);
  ASSERT_EQ(model->getMimicJointModels().size(), 1u);
  const JointModel* mimic = model->getMimicJointModels()[0];
  EXPECT_EQ(mimic->getMimic(), model->getJointModel("finger_left_joint"));
  EXPECT_DOUBLE_EQ(mimic->getMimicFactor(), 1.0);
  EXPECT_DOUBLE_EQ(mimic->getMimicOffset(), 0.0);
  EXPECT_EQ(model->getJointModel("finger_left_joint")->getMimicRequests(), std::vector<const JointModel*>{mimic});

  EXPECT_EQ(model->getLinkModelNamesWithCollisionGeometry(),
            (Names{"base_link", "link1", "link2", "link3", "link4", "link5", "link6", "camera_link", "gripper_link"}));
  // link1 and link3 carry two collision cylinders each.
  EXPECT_EQ(model->getLinkGeometryCount(), 11u);
  EXPECT_EQ(model->getLinkModel("link2")->getFirstCollisionBodyIndex(), 3);
  EXPECT_EQ(model->getLinkModel("finger_left_link")->getFirstCollisionBodyIndex(), -1);
  // Joint ranges of the six arm joints plus the finger stroke, each with distance factor 1.
  EXPECT_NEAR(model->getMaximumExtent(), 6.1 + 4.2 + 5.2 + 6.1 + 4.4 + 12.56 + 0.035, 1e-12);
  EXPECT_NEAR(model->getJointModelGroup("arm")->getMaximumExtent(), 6.1 + 4.2 + 5.2 + 6.1 + 4.4 + 12.56, 1e-12);
}

TEST(Arm6Model, ArmIsAChainWithTheSixAxisSolverAndGripperAnEndEffectorWithout) {
  const auto model = rao_test::arm6Model();
  EXPECT_EQ(model->getJointModelGroupNames(), (Names{"arm", "gripper"}));
  const JointModelGroup* arm = model->getJointModelGroup("arm");
  EXPECT_TRUE(arm->isChain());
  EXPECT_TRUE(arm->isContiguousWithinState());
  EXPECT_EQ(arm->getLinkModelNames(), (Names{"link1", "link2", "link3", "link4", "link5", "link6", "gripper_link"}));
  EXPECT_EQ(arm->getCommonRoot()->getParentLinkModel()->getName(), "base_link");
  EXPECT_TRUE(arm->getSubgroupNames().empty());
  EXPECT_EQ(arm->getAttachedEndEffectorNames(), Names{"hand"});
  EXPECT_NE(dynamic_cast<SixAxisKinematics*>(arm->kinematics_interface_ptr_.get()), nullptr);
  EXPECT_EQ(arm->getDefaultStateNames(), (Names{"home", "ready"}));
  EXPECT_DOUBLE_EQ(arm->getDefaultStates().at("ready").at("joint5"), -0.67);
  // Updated links: everything below joint1, the fingers included.
  EXPECT_EQ(arm->getUpdatedLinkModelNames().size(), 10u);

  const JointModelGroup* gripper = model->getJointModelGroup("gripper");
  EXPECT_TRUE(gripper->isEndEffector());
  EXPECT_EQ(gripper->getEndEffectorParentGroup(), std::make_pair(std::string("arm"), std::string("gripper_link")));
  EXPECT_EQ(gripper->kinematics_interface_ptr_, nullptr);
  EXPECT_TRUE(gripper->getSubgroupNames().empty());
  EXPECT_EQ(gripper->getMimicUpdates().size(), 1u);
  EXPECT_EQ(model->getEndEffector("hand"), gripper);
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

TEST(ArmModels, Arm5GetsTheFiveAxisSolverAndBothArmsCarryTheirDesignedMdhTables) {
  const auto arm5 = rao_test::arm5Model();
  ASSERT_TRUE(arm5->isValid());
  ASSERT_EQ(arm5->getJointModelGroups().size(), 1u);
  const JointModelGroup* arm = arm5->getJointModelGroups()[0];
  EXPECT_TRUE(arm->isChain());
  EXPECT_EQ(arm->getVariableCount(), 5u);
  EXPECT_NE(dynamic_cast<OrvaneBotV3Kinematics*>(arm->kinematics_interface_ptr_.get()), nullptr);

  for (const auto& [model, table] : {std::make_pair(rao_test::arm6Model(), arm_tables::arm6()),
                                     std::make_pair(arm5, arm_tables::arm5())}) {
    for (std::size_t i = 0; i < table.zds.size(); ++i) {
      const auto* joint = model->getJointModel("joint" + std::to_string(i + 1));
      ASSERT_NE(joint, nullptr);
      EXPECT_EQ(joint->getMdhStatus(), robot_model::core::MdhStatus::VALID) << joint->getName();
      const auto& mdh = joint->getMdhParameters();
      const double expected[] = {table.zds[i], table.xas[i], table.alphas[i], table.qzeros[i]};
      const double actual[] = {mdh.zd_, mdh.xa_, mdh.alpha_, mdh.qzero_};
      for (int k = 0; k < 4; ++k) EXPECT_NEAR(actual[k], expected[k], 1e-12) << model->getName() << " " << i << k;
    }
  }
}

}  // namespace
