#include "collision_detection/collision_robot_fcl.h"
#include "collision_detection/collision_world_fcl.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "arm_fixtures.h"

using namespace collision_detection;

namespace
{
Eigen::Isometry3d at(double x, double y, double z)
{
  return Eigen::Isometry3d(Eigen::Translation3d(x, y, z));
}

const std::shared_ptr<const shapes::Shape> kCube = std::make_shared<const shapes::Box>(0.1, 0.1, 0.1);

// Arm6 in its "ready" state; the world observers' lines are swallowed.
class CollisionWorldFCLTest : public testing::Test
{
protected:
  void SetUp() override
  {
    testing::internal::CaptureStdout();
    arm6::setArm(state_, arm6::kReady);
  }
  void TearDown() override { testing::internal::GetCapturedStdout(); }

  robot_model::core::RobotState state_{ arm6::model() };
  CollisionRobotFCL robot_{ arm6::model() };
};
}  // namespace

// Padding rebuilds only the link's own geometry, and only when it changes; bad padding or scale is
// refused with its message and the value held before is kept.
TEST(CollisionRobotFCL, PaddingRebuildsOnlyItsLinkAndBadValuesAreRefused)
{
  const auto model = arm6::model();
  const CollisionRobotFCL plain(model);
  CollisionRobotFCL robot(model);
  const robot_model::core::LinkModel* gripper = model->getLinkModel("gripper_link");
  const std::size_t first = gripper->getFirstCollisionBodyIndex();
  robot.setLinkPadding("gripper_link", 0.06);
  const std::vector<FCLGeometryConstPtr> padded = robot.getCollisionGeometries();
  for (std::size_t i = 0; i < padded.size(); ++i)
    EXPECT_EQ(padded[i] != plain.getCollisionGeometries()[i], i >= first && i < first + gripper->getShapes().size())
        << "slot " << i;
  robot.setLinkPadding("gripper_link", 0.06);
  EXPECT_EQ(robot.getCollisionGeometries(), padded);

  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  for (const auto& [padding, scale, message] :
       { std::tuple(0.0, 0.0, "Scale must be positive"), std::tuple(-0.01, 1.0, "Padding cannot be negative"),
         std::tuple(nan, 1.0, "Padding must be finite"), std::tuple(inf, 1.0, "Padding must be finite"),
         std::tuple(0.0, nan, "Scale must be finite"), std::tuple(0.0, -1.0, "Scale must be positive") })
  {
    testing::internal::CaptureStdout();
    const CollisionRobotFCL refused(model, padding, scale);
    if (scale == 1.0)
      robot.setLinkPadding("gripper_link", padding);
    const std::string line = std::string("collision_detection---") + message;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), scale == 1.0 ? line + line : line);
    EXPECT_EQ(refused.getLinkPadding("link2"), 0.0);
    EXPECT_EQ(refused.getLinkScale("link2"), 1.0);
    EXPECT_EQ(refused.getCollisionGeometries(), plain.getCollisionGeometries());  // same cached geometry
  }
  testing::internal::CaptureStdout();
  robot.setLinkPadding("no_link", 0.02);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(robot.getLinkPadding("gripper_link"), 0.06);
  EXPECT_EQ(robot.getCollisionGeometries(), padded);
}

// A robot kept from check to check answers like a new one, whatever changed on the gripper in between.
// One cube's near face is 0.08 beyond the centre of the held cube, another stands 0.06 beside the
// gripper's body (x within 0.042 of its axis, z in [-0.12, -0.04]): each step flips the answer or moves
// the distance.
TEST_F(CollisionWorldFCLTest, KeptRobotAnswersLikeANewOneAsTheGripperAndItsBodyChange)
{
  const Eigen::Isometry3d gripper = state_.getGlobalLinkTransform(arm6::model()->getLinkModel("gripper_link"));
  auto world = std::make_shared<World>();
  world->addToObject("beyond_cube", kCube, gripper * at(0.0, 0.0, 0.4 + 0.08 + 0.05));
  world->addToObject("beside_gripper", std::make_shared<const shapes::Box>(0.02, 0.02, 0.02),
                     gripper * at(-(0.04157 + 0.06 + 0.01), 0.0, -0.08));
  const CollisionWorldFCL fcl_world(world);
  CollisionRequest req;
  req.distance = true;

  const struct
  {
    double padding, edge;  // edge 0: nothing held
    bool collides;
  } steps[] = { { 0.02, 0.1, false },  { 0.04, 0.1, true },  { 0.02, 0.1, false }, { 0.02, 0.14, true },
                { 0.02, 0.06, false }, { 0.02, 0.0, false }, { 0.04, 0.0, false }, { 0.04, 0.14, true } };
  double held = 0.0;
  for (const auto& step : steps)
  {
    SCOPED_TRACE(testing::Message() << "padding " << step.padding << " edge " << step.edge);
    robot_.setLinkPadding("gripper_link", step.padding);
    if (step.edge != held)
    {
      if (step.edge == 0.0)
        state_.clearAttachedBody("grab_object");
      else
        state_.attachBody(arm6::grabbedCube(step.edge, 0.4));  // replaces the held one under the same id
      held = step.edge;
    }
    CollisionRobotFCL fresh(arm6::model());
    fresh.setLinkPadding("gripper_link", step.padding);
    CollisionResult kept_res, fresh_res;
    fcl_world.checkRobotCollision(req, kept_res, robot_, state_);
    fcl_world.checkRobotCollision(req, fresh_res, fresh, state_);
    EXPECT_EQ(fresh_res.collision, step.collides);
    EXPECT_EQ(kept_res.collision, fresh_res.collision);
    EXPECT_NEAR(kept_res.distance, fresh_res.distance, 1e-9);
  }
}
