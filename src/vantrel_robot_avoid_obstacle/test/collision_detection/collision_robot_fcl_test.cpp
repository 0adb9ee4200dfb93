#include "collision_detection/collision_robot_fcl.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "arm6_fixture.h"
#include "collision_detection/collision_world_fcl.h"
#include "robot_model/core/attached_body.h"
#include "robot_model/shapes/shapes.h"

using namespace collision_detection;

TEST(CollisionRobotFCL, BadScaleAndPaddingAreRefusedWithTheNeutralValue)
{
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  const struct
  {
    double padding, scale;
    const char* message;
  } cases[] = { { 0.0, 0.0, "Scale must be positive" },       { -0.01, 1.0, "Padding cannot be negative" },
                { nan, 1.0, "Padding must be finite" },       { inf, 1.0, "Padding must be finite" },
                { 0.0, nan, "Scale must be finite" },         { 0.0, -1.0, "Scale must be positive" } };
  const auto model = arm6::model();  // loading prints its own lines
  const CollisionRobotFCL plain(model, 0.0, 1.0);
  for (const auto& c : cases)
  {
    testing::internal::CaptureStdout();
    const CollisionRobotFCL robot(model, c.padding, c.scale);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string("collision_detection---") + c.message);
    EXPECT_EQ(robot.getLinkPadding("link2"), 0.0);
    EXPECT_EQ(robot.getLinkScale("link2"), 1.0);
    EXPECT_EQ(robot.getCollisionGeometries(), plain.getCollisionGeometries());  // same cached geometry
  }
}

TEST(CollisionRobotFCL, SetLinkPaddingRebuildsOnlyThatLinkAndOnlyOnChange)
{
  CollisionRobotFCL robot(arm6::model());
  const std::vector<FCLGeometryConstPtr> before = robot.getCollisionGeometries();
  const robot_model::core::LinkModel* gripper = arm6::model()->getLinkModel("gripper_link");
  const std::size_t first = gripper->getFirstCollisionBodyIndex();

  robot.setLinkPadding("gripper_link", 0.06);
  const std::vector<FCLGeometryConstPtr> padded = robot.getCollisionGeometries();
  for (std::size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(padded[i] != before[i], i >= first && i < first + gripper->getShapes().size()) << "slot " << i;
  robot.setLinkPadding("gripper_link", 0.06);
  EXPECT_EQ(robot.getCollisionGeometries(), padded);

  testing::internal::CaptureStdout();
  robot.setLinkPadding("gripper_link", -0.01);
  robot.setLinkPadding("gripper_link", std::nan(""));
  robot.setLinkPadding("no_link", 0.02);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "collision_detection---Padding cannot be negativecollision_detection---Padding must be finite"
            "Link 'no_link' not found in model 'arm6'"
            "collision_detection.fcl----Updating padding or scaling for unknown link: 'no_link'");
  EXPECT_EQ(robot.getLinkPadding("gripper_link"), 0.06);
  EXPECT_EQ(robot.getCollisionGeometries(), padded);
}

// Self collision over many states is compared pair by pair in the cross-check test.
TEST(CollisionRobotFCL, NamedStatesAreFreeOfSelfCollisionAndAtADistanceFromIt)
{
  const CollisionRobotFCL robot(arm6::model());
  const AllowedCollisionMatrix acm = arm6::disabledPairs();
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();
  CollisionRequest req;
  req.distance = true;
  req.group_name = "arm";
  for (const std::string name : { "home", "ready" })
  {
    arm6::setArm(state, arm6::groupState(name));
    CollisionResult res;
    robot.checkSelfCollision(req, res, state, acm);
    EXPECT_FALSE(res.collision) << name;
    EXPECT_GT(res.distance, 0.0) << name;
    EXPECT_LT(res.distance, 1.0) << name;
  }
  // Another robot in the same state overlaps this one everywhere.
  CollisionResult res;
  robot.checkOtherCollision(CollisionRequest(), res, state, CollisionRobotFCL(arm6::model()), state);
  EXPECT_TRUE(res.collision);
}

// A box attached 0.4 out from the gripper, and a world box of its orientation whose face is `gap` beyond the
// attached box's face: the padding of 0.06 makes the box 0.12 larger per dimension.
TEST(CollisionRobotFCL, AttachedBodyIsPaddedLikeItsParentLinkOnEverySide)
{
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();
  arm6::setArm(state, arm6::groupState("ready"));
  auto body = std::make_unique<robot_model::core::AttachedBody>();
  body->id_ = "grab_object";
  body->parent_link_ = arm6::model()->getLinkModel("gripper_link");
  body->shapes_.push_back(std::make_shared<const shapes::Box>(0.1, 0.1, 0.1));
  body->shape_poses_.push_back(Eigen::Isometry3d(Eigen::Translation3d(0.0, 0.0, 0.4)));
  state.attachBody(std::move(body));
  const Eigen::Isometry3d box_pose = state.getAttachedBody("grab_object")->global_shape_poses_[0];

  testing::internal::CaptureStdout();
  for (const auto& [gap, padding, expected] : { std::tuple(0.005, 0.0, false), std::tuple(0.055, 0.06, true),
                                                std::tuple(0.065, 0.06, false) })
  {
    auto world = std::make_shared<World>();
    world->addToObject("obstacle", std::make_shared<const shapes::Box>(0.1, 0.1, 0.1),
                       box_pose * Eigen::Translation3d(0.0, 0.0, 0.1 + gap));
    CollisionRobotFCL robot(arm6::model());
    robot.setLinkPadding("gripper_link", padding);
    CollisionResult res;
    CollisionWorldFCL(world).checkRobotCollision(CollisionRequest(), res, robot, state);
    EXPECT_EQ(res.collision, expected) << "gap " << gap << " padding " << padding;
  }
  testing::internal::GetCapturedStdout();
}
