// Robot state construction, attached bodies and group interpolation.
#include <gtest/gtest.h>

#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "description_fixture.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_state.h"
#include "robot_model/shapes/shapes.h"

namespace {

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
  Eigen::Isometry3d pose = Eigen::Isometry3d::Identity();
  pose.translation() = Eigen::Vector3d(0.0, 0.0, offset);
  pose.rotate(Eigen::AngleAxisd(0.3, Eigen::Vector3d::UnitX()));
  body->shape_poses_.push_back(pose);
  body->touch_links_.insert(link->getName());
  return body;
}

TEST(RobotState, NullModelThrows) { EXPECT_THROW(RobotState state(nullptr), std::invalid_argument); }

// Attaching under a taken id replaces the body, an unknown id clears nothing, and destruction detaches.
TEST(RobotState, AttachedBodiesReachTheCallbackAndFollowTheArm) {
  const auto model = rao_test::arm6Model();
  const JointModelGroup* arm = model->getJointModelGroup("arm");
  const auto* tool = model->getLinkModel("gripper_link");
  std::vector<std::pair<const AttachedBody*, bool>> calls;  // outlives the state, whose destructor reports
  auto first = grabObject(tool, 0.05, 0.02);
  auto second = grabObject(tool, 0.08, 0.04);
  const AttachedBody* old_body = first.get();
  const AttachedBody* new_body = second.get();
  {
    RobotState state(model);
    state.setAttachedBodyUpdateCallback(
        [&calls](AttachedBody* body, bool attached) { calls.emplace_back(body, attached); });
    rao_test::captureStdout([&] { state.attachBody(std::move(first)); });
    rao_test::captureStdout([&] { state.attachBody(std::move(second)); });
    state.clearAttachedBody("something_else");
    EXPECT_EQ(state.getAttachedBodies().size(), 1u);
    EXPECT_EQ(state.getAttachedBody("grab_object"), new_body);

    state.setJointGroupPositions(arm, std::vector<double>{0.1, -0.2, 0.3, -0.4, 0.5, -0.6});
    state.updateLinkTransforms();
    EXPECT_TRUE(new_body->global_shape_poses_[0].isApprox(
        state.getGlobalLinkTransform(tool) * new_body->shape_poses_[0], 1e-12));
  }
  const std::vector<std::pair<const AttachedBody*, bool>> expected = {
      {old_body, true}, {old_body, false}, {new_body, true}, {new_body, false}};
  EXPECT_EQ(calls, expected);
}

TEST(RobotState, UnusableBodyIsRejectedBeforeTheAttachedOneIsRemoved) {
  const auto model = rao_test::arm6Model();
  const auto* tool = model->getLinkModel("gripper_link");
  RobotState state(model);
  rao_test::captureStdout([&] { state.attachBody(grabObject(tool, 0.05, 0.02)); });
  const AttachedBody* kept = state.getAttachedBody("grab_object");

  // No parent link, no shape poses, a link of another model.
  std::unique_ptr<AttachedBody> unusable[] = {grabObject(tool, 0.05, 0.02), grabObject(tool, 0.05, 0.02),
                                              grabObject(rao_test::arm5Model()->getLinkModel("tool_link"), 0.05, 0.02)};
  unusable[0]->parent_link_ = nullptr;
  unusable[1]->shape_poses_.clear();
  for (auto& body : unusable) {
    rao_test::captureStdout([&] { EXPECT_THROW(state.attachBody(std::move(body)), std::runtime_error); });
  }

  EXPECT_EQ(state.getAttachedBody("grab_object"), kept);
}

TEST(GroupInterpolation, EndsGiveTheEndStatesAndMimicsFollow) {
  const auto model = rao_test::arm6Model();
  const std::vector<double> from = {0.1, -0.2, 0.3, -0.4, 0.5, -0.6};
  const std::vector<double> to = {-1.0, 1.0, -2.0, 2.0, -1.5, 6.0};
  std::vector<double> state(6);
  model->getJointModelGroup("arm")->interpolate(from.data(), to.data(), 0.0, state.data());
  EXPECT_EQ(state, from);
  model->getJointModelGroup("arm")->interpolate(from.data(), to.data(), 1.0, state.data());
  for (std::size_t i = 0; i < to.size(); ++i) EXPECT_NEAR(state[i], to[i], 1e-15);

  const std::vector<double> closed = {0.0, 0.0};
  const std::vector<double> open = {0.03, 0.03};
  std::vector<double> fingers(2, -1.0);
  model->getJointModelGroup("gripper")->interpolate(closed.data(), open.data(), 0.5, fingers.data());
  EXPECT_NEAR(fingers[0], 0.015, 1e-15);
  EXPECT_NEAR(fingers[1], 0.015, 1e-15);
}

}  // namespace
