// The link poses of the robot state agree with the group's analytic solver, and lazy updates agree with a freshly
// computed state.
#include <gtest/gtest.h>

#include <random>

#include "description_fixture.h"
#include "kinematics/kinematics_interface.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_state.h"

namespace {

using robot_model::core::JointModelGroup;
using robot_model::core::RobotState;

void expectPoseNear(const Eigen::Isometry3d& actual, const Eigen::Matrix4d& expected, double tolerance) {
  EXPECT_LT((actual.matrix() - expected).cwiseAbs().maxCoeff(), tolerance) << actual.matrix() << "\n\n" << expected;
}

// One arm joint at a time takes a random value within its limits (1,000 vectors): link6 is where the solver's forward
// kinematics puts the flange and gripper_link one tool offset beyond; every link and collision body pose equals that
// of a freshly computed state.
TEST(KinematicConsistency, LinkPosesMatchTheSolverAndAFreshState) {
  const auto model = rao_test::arm6Model();
  const JointModelGroup* arm = model->getJointModelGroup("arm");
  ASSERT_NE(arm->kinematics_interface_ptr_, nullptr);
  const std::size_t link6 = model->getLinkModel("link6")->getLinkIndex();
  const std::size_t gripper = model->getLinkModel("gripper_link")->getLinkIndex();
  Eigen::Isometry3d tool = Eigen::Isometry3d::Identity();
  tool.translation() = Eigen::Vector3d(0.0, 0.0, 0.12);

  RobotState state(model);
  std::vector<double> q(6, 0.0);
  std::mt19937 engine(42);
  for (int i = 0; i < 1000 && !HasFailure(); ++i) {
    const auto& bounds = (*arm->getActiveJointModelsBounds()[i % 6])[0];
    q[i % 6] = std::uniform_real_distribution<double>(bounds.min_position_, bounds.max_position_)(engine);
    state.setJointGroupPositions(arm, q);
    state.updateCollisionBodyTransforms();
    Eigen::MatrixXd flange;
    arm->forwardKinematics(q, flange);
    ASSERT_EQ(flange.rows(), 4);
    expectPoseNear(state.getGlobalLinkTransform(link6), flange, 1e-9);
    expectPoseNear(state.getGlobalLinkTransform(gripper), flange * tool.matrix(), 1e-9);
    RobotState fresh(model);
    fresh.setJointGroupPositions(arm, q);
    fresh.updateCollisionBodyTransforms();
    for (std::size_t link = 0; link < model->getLinkModelCount(); ++link) {
      EXPECT_TRUE(state.getGlobalLinkTransform(link).isApprox(fresh.getGlobalLinkTransform(link), 1e-12)) << link;
    }
    for (std::size_t body = 0; body < model->getLinkGeometryCount(); ++body) {
      EXPECT_TRUE(state.getCollisionBodyTransform(body).isApprox(fresh.getCollisionBodyTransform(body), 1e-12)) << body;
    }
  }
}

TEST(KinematicConsistency, ReferenceGripperPose) {
  const auto model = rao_test::arm6Model();
  const JointModelGroup* arm = model->getJointModelGroup("arm");
  RobotState state(model);
  const std::vector<double> q = {0.1, -0.2, 0.3, -0.4, 0.5, -0.6};
  state.setJointGroupPositions(arm, q);
  state.updateCollisionBodyTransforms();
  const Eigen::Vector3d p = state.getGlobalLinkTransform(model->getLinkModel("gripper_link")).translation();
  EXPECT_LT((p - Eigen::Vector3d(0.643602510, 0.001600453, 0.862215685)).cwiseAbs().maxCoeff(), 1e-9) << p;

  // The gripper's collision body has an identity origin: it sits at the link pose.
  EXPECT_TRUE(state.getCollisionBodyTransform(model->getLinkModel("gripper_link"), 0)
                  .isApprox(state.getGlobalLinkTransform(model->getLinkModel("gripper_link")), 1e-15));

  // A new state starts at zero with current transforms: joint6 straight above link5, from the MDH table.
  const RobotState fresh(model);
  EXPECT_TRUE(fresh.getGlobalLinkTransform(model->getLinkModel("gripper_link"))
                  .translation()
                  .isApprox(Eigen::Vector3d(0.48 + 0.12, -0.10, 0.73), 1e-12));
}

TEST(DirtyTracking, MovingTheMimicSourceMovesTheMimicJoint) {
  const auto model = rao_test::arm6Model();
  RobotState state(model);
  const auto* right = model->getLinkModel("finger_right_link");
  const Eigen::Vector3d before = state.getGlobalLinkTransform(right).translation();
  // The mimic variable is overwritten from its source.
  state.setJointGroupPositions(model->getJointModelGroup("gripper"), std::vector<double>{0.03, 0.0});
  state.updateCollisionBodyTransforms();
  const Eigen::Isometry3d& gripper_pose = state.getGlobalLinkTransform(model->getLinkModel("gripper_link"));
  // The right finger slides along -y of the gripper frame by the source's value.
  const Eigen::Vector3d moved = gripper_pose.linear().transpose() *
                                (state.getGlobalLinkTransform(right).translation() - before);
  EXPECT_LT((moved - Eigen::Vector3d(0.0, -0.03, 0.0)).norm(), 1e-12) << moved.transpose();
}

}  // namespace
