// Link boxes; the test arms as models: tree, variables, mimic finger, geometry, groups, solvers and MDH tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kinematics/orvane_bot_v3_kinematics.h"
#include "kinematics/six_axis_kinematics.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/link_model.h"
#include "robot_model/shapes/shapes.h"
#include "test/kinematics/arm_tables.h"
#include "test/robot_model_core/model_fixtures.h"

namespace {

using namespace model_fixtures;
using robot_model::core::JointModel;
using robot_model::core::JointModelGroup;
using robot_model::core::LinkModel;
using Names = std::vector<std::string>;
using Origins = std::vector<Eigen::Isometry3d, Eigen::aligned_allocator<Eigen::Isometry3d>>;

// The box around a link's shapes at their origins: turned, several shapes, a mesh from its transformed vertices.
TEST(LinkModel, BoxOfShapesAndMeshesAtTheirOrigins) {
  LinkModel link("parts", 0);
  // Turned by 45 degrees, the 1 x 2 box spans 3 / sqrt(2) along x and y.
  Eigen::Isometry3d turned = Eigen::Isometry3d::Identity();
  turned.rotate(Eigen::AngleAxisd(M_PI / 4, Eigen::Vector3d::UnitZ()));
  link.setGeometry({std::make_shared<const shapes::Box>(1.0, 2.0, 3.0)}, Origins{turned});
  const double diagonal = 3.0 * std::sqrt(0.5);
  EXPECT_TRUE(link.getShapeExtentsAtOrigin().isApprox(Eigen::Vector3d(diagonal, diagonal, 3.0), 1e-12));

  link.setGeometry(
      {std::make_shared<const shapes::Box>(1.0, 2.0, 3.0), std::make_shared<const shapes::Cylinder>(1.0, 0.5)},
      Origins{Eigen::Isometry3d::Identity(), Eigen::Isometry3d(Eigen::Translation3d(0.0, 0.0, 2.0))});
  // z spans the box [-1.5, 1.5] and the cylinder [1.5, 2.5].
  EXPECT_TRUE(link.getShapeExtentsAtOrigin().isApprox(Eigen::Vector3d(1.0, 2.0, 4.0), 1e-12));
  EXPECT_TRUE(link.getCenteredBoundingBoxOffset().isApprox(Eigen::Vector3d(0.0, 0.0, 0.5), 1e-12));
  EXPECT_EQ(link.areCollisionOriginTransformsIdentity(), (std::vector<int>{1, 0}));

  auto mesh = std::make_shared<shapes::Mesh>(2, 0);
  const double vertices[] = {-1.0, 0.0, 0.0, 1.0, 0.5, 0.25};
  std::copy(vertices, vertices + 6, mesh->vertices.get());
  Eigen::Isometry3d pose(Eigen::Translation3d(0.0, 0.0, 1.0));
  pose.rotate(Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitZ()));
  link.setGeometry({mesh}, Origins{pose});
  // Rotated by 90 degrees about z: x' = -y, y' = x.
  EXPECT_TRUE(link.getShapeExtentsAtOrigin().isApprox(Eigen::Vector3d(0.5, 2.0, 0.25), 1e-12));
  EXPECT_TRUE(link.getCenteredBoundingBoxOffset().isApprox(Eigen::Vector3d(-0.25, 0.0, 1.125), 1e-12));
}

TEST(ArmModels, TreeVariablesMimicFingerGeometryGroupsSolversAndMdhTables) {
  const auto model = arm6Model();
  ASSERT_TRUE(model->isValid());
  EXPECT_EQ(model->getModelFrame(), "base_link");
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
  ASSERT_EQ(model->getMimicJointModels().size(), 1u);
  const JointModel* mimic = model->getMimicJointModels()[0];
  EXPECT_EQ(mimic->getMimic(), model->getJointModel("finger_left_joint"));
  EXPECT_EQ(model->getJointModel("finger_left_joint")->getMimicRequests(), std::vector<const JointModel*>{mimic});

  EXPECT_EQ(model->getLinkModelNamesWithCollisionGeometry(),
            (Names{"base_link", "link1", "link2", "link3", "link4", "link5", "link6", "camera_link", "gripper_link"}));
  // link1 and link3 carry two collision cylinders each.
  EXPECT_EQ(model->getLinkGeometryCount(), 11u);
  EXPECT_EQ(model->getLinkModel("link2")->getFirstCollisionBodyIndex(), 3);
  EXPECT_EQ(model->getLinkModel("finger_left_link")->getFirstCollisionBodyIndex(), -1);
  // Joint ranges of the six arm joints plus the finger stroke, each with distance factor 1.
  EXPECT_NEAR(model->getMaximumExtent(), 6.1 + 4.2 + 5.2 + 6.1 + 4.4 + 12.56 + 0.035, 1e-12);
  const JointModelGroup* arm = model->getJointModelGroup("arm");
  EXPECT_NEAR(arm->getMaximumExtent(), 6.1 + 4.2 + 5.2 + 6.1 + 4.4 + 12.56, 1e-12);

  // The arm is a chain with the six-axis solver, the gripper an end effector without one.
  EXPECT_EQ(model->getJointModelGroupNames(), (Names{"arm", "gripper"}));
  EXPECT_TRUE(arm->isContiguousWithinState());
  EXPECT_EQ(arm->getLinkModelNames(), (Names{"link1", "link2", "link3", "link4", "link5", "link6", "gripper_link"}));
  EXPECT_EQ(arm->getCommonRoot()->getParentLinkModel()->getName(), "base_link");
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
  EXPECT_EQ(model->getEndEffector("hand"), gripper);

  // The exact-output check of the model's messages: lookups of unknown names print and return null.
  EXPECT_EQ(captureStdout([&] { EXPECT_EQ(model->getLinkModel("nowhere"), nullptr); }),
            "Link 'nowhere' not found in model 'arm6'");
  EXPECT_EQ(captureStdout([&] { EXPECT_EQ(arm->getLinkModel("camera_link"), nullptr); }),
            "Link 'camera_link' not found in group 'arm'\n");

  // arm5 gets the five-axis solver, and both arms carry their designed MDH tables.
  const auto arm5 = arm5Model();
  ASSERT_TRUE(arm5->isValid());
  ASSERT_EQ(arm5->getJointModelGroups().size(), 1u);
  const JointModelGroup* arm5_group = arm5->getJointModelGroups()[0];
  EXPECT_EQ(arm5_group->getVariableCount(), 5u);
  EXPECT_NE(dynamic_cast<OrvaneBotV3Kinematics*>(arm5_group->kinematics_interface_ptr_.get()), nullptr);

  for (const auto& [arm_model, table] : {std::make_pair(model, arm_tables::arm6()),
                                         std::make_pair(arm5, arm_tables::arm5())}) {
    for (std::size_t i = 0; i < table.zds.size(); ++i) {
      const auto* joint = arm_model->getJointModel("joint" + std::to_string(i + 1));
      ASSERT_NE(joint, nullptr);
      EXPECT_EQ(joint->getMdhStatus(), robot_model::core::MdhStatus::VALID) << joint->getName();
      const auto& mdh = joint->getMdhParameters();
      const double expected[] = {table.zds[i], table.xas[i], table.alphas[i], table.qzeros[i]};
      const double actual[] = {mdh.zd_, mdh.xa_, mdh.alpha_, mdh.qzero_};
      for (int k = 0; k < 4; ++k) EXPECT_NEAR(actual[k], expected[k], 1e-12) << arm_model->getName() << " " << i << k;
    }
  }
}

}  // namespace
