// Robot states: poses, the mimic finger, attached bodies, group interpolation and the solver cross-check.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_state.h"
#include "robot_model/shapes/shapes.h"
#include "test/robot_model_core/model_fixtures.h"

namespace {

using namespace model_fixtures;
using robot_model::core::AttachedBody;
using robot_model::core::JointModelGroup;
using robot_model::core::RobotState;

static_assert(!std::is_copy_constructible<RobotState>::value, "a robot state owns its arrays and bodies");
static_assert(!std::is_copy_assignable<RobotState>::value, "a robot state owns its arrays and bodies");

std::unique_ptr<AttachedBody> grabObject(const robot_model::core::LinkModel* link, double size, double offset) {
  auto body = std::make_unique<AttachedBody>();
  body->parent_link_ = link;
  body->id_ = "grab_object";
  body->shapes_.push_back(std::make_shared<const shapes::Box>(size, size, size));
  Eigen::Isometry3d pose(Eigen::Translation3d(0.0, 0.0, offset));
  pose.rotate(Eigen::AngleAxisd(0.3, Eigen::Vector3d::UnitX()));
  body->shape_poses_.push_back(pose);
  body->touch_links_.insert(link->getName());
  return body;
}

// A state needs a model. One state from its start at zero through the reference pose and the gripper's mimic finger
// to attached bodies: attaching under a taken id replaces the body, an unusable body is refused keeping the attached
// one, an unknown id clears nothing, the body follows its link, and destruction detaches.
TEST(RobotState, ReferencePosesMimicFingerAndAttachedBodies) {
  EXPECT_THROW(RobotState state(nullptr), std::invalid_argument);
  const auto model = arm6Model();
  const auto* tool = model->getLinkModel("gripper_link");
  const auto* right = model->getLinkModel("finger_right_link");
  std::vector<std::pair<const AttachedBody*, bool>> calls;  // outlives the state, whose destructor reports
  auto first = grabObject(tool, 0.05, 0.02);
  auto second = grabObject(tool, 0.08, 0.04);
  const AttachedBody* old_body = first.get();
  const AttachedBody* new_body = second.get();
  {
    RobotState state(model);
    // Zero with current transforms: joint6 straight above link5, from the MDH table.
    EXPECT_TRUE(state.getGlobalLinkTransform(tool).translation().isApprox(Eigen::Vector3d(0.6, -0.10, 0.73), 1e-12));
    const std::vector<double> q = {0.1, -0.2, 0.3, -0.4, 0.5, -0.6};
    state.setJointGroupPositions(model->getJointModelGroup("arm"), q);
    state.updateCollisionBodyTransforms();
    const Eigen::Vector3d p = state.getGlobalLinkTransform(tool).translation();
    EXPECT_LT((p - Eigen::Vector3d(0.643602510, 0.001600453, 0.862215685)).cwiseAbs().maxCoeff(), 1e-9) << p;
    // The gripper's collision body has an identity origin: it sits at the link pose.
    EXPECT_TRUE(state.getCollisionBodyTransform(tool, 0).isApprox(state.getGlobalLinkTransform(tool), 1e-15));
    // The mimic variable is overwritten from its source: the right finger slides along -y of the gripper frame.
    const Eigen::Vector3d closed = state.getGlobalLinkTransform(right).translation();
    state.setJointGroupPositions(model->getJointModelGroup("gripper"), std::vector<double>{0.03, 0.0});
    state.updateCollisionBodyTransforms();
    const Eigen::Vector3d moved = state.getGlobalLinkTransform(tool).linear().transpose() *
                                  (state.getGlobalLinkTransform(right).translation() - closed);
    EXPECT_LT((moved - Eigen::Vector3d(0.0, -0.03, 0.0)).norm(), 1e-12) << moved.transpose();

    state.setAttachedBodyUpdateCallback(
        [&calls](AttachedBody* body, bool attached) { calls.emplace_back(body, attached); });
    captureStdout([&] { state.attachBody(std::move(first)); });
    captureStdout([&] { state.attachBody(std::move(second)); });
    // No parent link, no shape poses, a link of another model.
    const auto* foreign = arm5Model()->getLinkModel("tool_link");
    std::unique_ptr<AttachedBody> unusable[] = {grabObject(tool, 0.05, 0.02), grabObject(tool, 0.05, 0.02),
                                                grabObject(foreign, 0.05, 0.02)};
    unusable[0]->parent_link_ = nullptr;
    unusable[1]->shape_poses_.clear();
    for (auto& body : unusable) {
      captureStdout([&] { EXPECT_THROW(state.attachBody(std::move(body)), std::runtime_error); });
    }
    state.clearAttachedBody("something_else");
    EXPECT_EQ(state.getAttachedBodies().size(), 1u);
    EXPECT_EQ(state.getAttachedBody("grab_object"), new_body);
    state.updateLinkTransforms();
    const Eigen::Isometry3d body_pose = state.getGlobalLinkTransform(tool) * new_body->shape_poses_[0];
    EXPECT_TRUE(new_body->global_shape_poses_[0].isApprox(body_pose, 1e-12));
  }
  const std::vector<std::pair<const AttachedBody*, bool>> expected = {
      {old_body, true}, {old_body, false}, {new_body, true}, {new_body, false}};
  EXPECT_EQ(calls, expected);
}

TEST(GroupInterpolation, EndsGiveTheEndStatesAndMimicsFollow) {
  const auto model = arm6Model();
  const std::vector<double> from = {0.1, -0.2, 0.3, -0.4, 0.5, -0.6};
  const std::vector<double> to = {-1.0, 1.0, -2.0, 2.0, -1.5, 6.0};
  std::vector<double> state(6);
  model->getJointModelGroup("arm")->interpolate(from.data(), to.data(), 0.0, state.data());
  EXPECT_EQ(state, from);
  model->getJointModelGroup("arm")->interpolate(from.data(), to.data(), 1.0, state.data());
  for (std::size_t i = 0; i < to.size(); ++i) EXPECT_NEAR(state[i], to[i], 1e-15);

  // The ends disagree on the mimic finger: it follows its source, not its own ends.
  const std::vector<double> closed = {0.0, 0.0};
  const std::vector<double> open = {0.03, 0.0};
  std::vector<double> fingers(2, -1.0);
  model->getJointModelGroup("gripper")->interpolate(closed.data(), open.data(), 0.5, fingers.data());
  EXPECT_NEAR(fingers[0], 0.015, 1e-15);
  EXPECT_NEAR(fingers[1], 0.015, 1e-15);
}

void expectPoseNear(const Eigen::Isometry3d& actual, const Eigen::Matrix4d& expected, double tolerance) {
  EXPECT_LT((actual.matrix() - expected).cwiseAbs().maxCoeff(), tolerance) << actual.matrix() << "\n\n" << expected;
}

// One arm joint at a time takes a random value within its limits (1,000 vectors): link6 is where the solver's forward
// kinematics puts the flange and gripper_link one tool offset beyond; every link and collision body pose equals that
// of a freshly computed state.
TEST(KinematicConsistency, LinkPosesMatchTheSolverAndAFreshState) {
  const auto model = arm6Model();
  const JointModelGroup* arm = model->getJointModelGroup("arm");
  ASSERT_NE(arm->kinematics_interface_ptr_, nullptr);
  const std::size_t link6 = model->getLinkModel("link6")->getLinkIndex();
  const std::size_t gripper = model->getLinkModel("gripper_link")->getLinkIndex();
  const Eigen::Isometry3d tool(Eigen::Translation3d(0.0, 0.0, 0.12));

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

}  // namespace
