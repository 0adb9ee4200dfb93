#include "collision_detection/collision_robot_fcl.h"

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "arm6_fixture.h"
#include "collision_detection/collision_world_fcl.h"
#include "robot_model/core/attached_body.h"
#include "robot_model/shapes/shapes.h"

using namespace collision_detection;

namespace
{
std::string constructionOutput(double padding, double scale)
{
  const auto model = arm6::model();  // loading prints its own lines
  testing::internal::CaptureStdout();
  CollisionRobotFCL robot(model, padding, scale);
  return testing::internal::GetCapturedStdout();
}

// Slots of the collision geometry of one link.
std::vector<std::size_t> slotsOf(const std::string& link_name)
{
  const robot_model::core::LinkModel* link = arm6::model()->getLinkModel(link_name);
  std::vector<std::size_t> slots;
  for (std::size_t j = 0; j < link->getShapes().size(); ++j)
    slots.push_back(link->getFirstCollisionBodyIndex() + j);
  return slots;
}

bool selfCollides(const CollisionRobot& robot, const robot_model::core::RobotState& state,
                  const AllowedCollisionMatrix& acm)
{
  CollisionRequest req;
  CollisionResult res;
  robot.checkSelfCollision(req, res, state, acm);
  return res.collision;
}
}  // namespace

TEST(CollisionRobotFCL, BadScaleAndPaddingAreRefusedWithTheNeutralValue)
{
  EXPECT_EQ(constructionOutput(0.0, 0.0), "collision_detection---Scale must be positive");
  EXPECT_EQ(constructionOutput(-0.01, 1.0), "collision_detection---Padding cannot be negative");
  EXPECT_EQ(constructionOutput(std::nan(""), 1.0), "collision_detection---Padding must be finite");
  EXPECT_EQ(constructionOutput(std::numeric_limits<double>::infinity(), 1.0),
            "collision_detection---Padding must be finite");
  EXPECT_EQ(constructionOutput(0.0, std::nan("")), "collision_detection---Scale must be finite");
  EXPECT_EQ(constructionOutput(0.0, -1.0), "collision_detection---Scale must be positive");

  testing::internal::CaptureStdout();
  CollisionRobotFCL neutral(arm6::model(), -0.01, 0.0);
  testing::internal::GetCapturedStdout();
  CollisionRobotFCL plain(arm6::model(), 0.0, 1.0);
  EXPECT_EQ(neutral.getLinkPadding("link2"), 0.0);
  EXPECT_EQ(neutral.getLinkScale("link2"), 1.0);
  EXPECT_EQ(neutral.getCollisionGeometries(), plain.getCollisionGeometries());  // same cached geometry
}

TEST(CollisionRobotFCL, SetLinkPaddingRebuildsOnlyThatLinkAndOnlyOnChange)
{
  CollisionRobotFCL robot(arm6::model());
  const std::vector<FCLGeometryConstPtr> before = robot.getCollisionGeometries();
  const std::vector<std::size_t> gripper = slotsOf("gripper_link");

  robot.setLinkPadding("gripper_link", 0.06);
  std::vector<FCLGeometryConstPtr> padded = robot.getCollisionGeometries();
  for (std::size_t i = 0; i < before.size(); ++i)
  {
    const bool is_gripper = std::find(gripper.begin(), gripper.end(), i) != gripper.end();
    EXPECT_EQ(padded[i] != before[i], is_gripper) << "slot " << i;
  }

  robot.setLinkPadding("gripper_link", 0.06);
  EXPECT_EQ(robot.getCollisionGeometries(), padded);

  testing::internal::CaptureStdout();
  robot.setLinkPadding("gripper_link", -0.01);
  robot.setLinkPadding("gripper_link", std::nan(""));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "collision_detection---Padding cannot be negativecollision_detection---Padding must be finite");
  EXPECT_EQ(robot.getLinkPadding("gripper_link"), 0.06);
  EXPECT_EQ(robot.getCollisionGeometries(), padded);
}

TEST(CollisionRobotFCL, PaddingAnUnknownLinkIsReportedAndRemembered)
{
  CollisionRobotFCL robot(arm6::model());
  testing::internal::CaptureStdout();
  robot.setLinkPadding("no_link", 0.02);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Link 'no_link' not found in model 'arm6'"
            "collision_detection.fcl----Updating padding or scaling for unknown link: 'no_link'");
  EXPECT_EQ(robot.getLinkPadding("no_link"), 0.02);
}

TEST(CollisionRobotFCL, NamedStatesAreFreeOfSelfCollision)
{
  CollisionRobotFCL robot(arm6::model());
  const AllowedCollisionMatrix acm = arm6::disabledPairs();
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();
  for (const std::string name : { "home", "ready" })
  {
    arm6::setArm(state, arm6::groupState(name));
    EXPECT_FALSE(selfCollides(robot, state, acm)) << name;
  }
}

TEST(CollisionRobotFCL, SelfOverlapCollidesUnlessThePairIsDisabled)
{
  CollisionRobotFCL robot(arm6::model());
  const AllowedCollisionMatrix srdf = arm6::disabledPairs();
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();
  std::mt19937 rng(7);
  bool found = false;
  for (int i = 0; i < 2000 && !found; ++i)
  {
    arm6::setArm(state, arm6::randomArm(rng));
    found = selfCollides(robot, state, srdf);
  }
  ASSERT_TRUE(found);

  // The overlapping pairs, none of them disabled, by a distance query per pair.
  DistanceRequest dreq;
  dreq.type = SINGLE;
  dreq.acm = &srdf;
  DistanceResult dres;
  robot.distanceSelf(dreq, dres, state);
  AllowedCollisionMatrix widened = srdf;
  int overlapping = 0;
  for (const auto& entry : dres.distances)
  {
    if (entry.second.front().distance > 0.0)
      continue;
    ++overlapping;
    AllowedCollision::Type type = AllowedCollision::NEVER;
    EXPECT_FALSE(srdf.getAllowedCollision(entry.first.first, entry.first.second, type) &&
                 type == AllowedCollision::ALWAYS);
    widened.setEntry(entry.first.first, entry.first.second, true);
  }
  EXPECT_GT(overlapping, 0);
  EXPECT_FALSE(selfCollides(robot, state, widened));
}

TEST(CollisionRobotFCL, RequestedDistanceIsTheMinimumOverAllowedPairs)
{
  CollisionRobotFCL robot(arm6::model());
  const AllowedCollisionMatrix acm = arm6::disabledPairs();
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();
  arm6::setArm(state, arm6::groupState("ready"));
  CollisionRequest req;
  req.distance = true;
  req.group_name = "arm";
  CollisionResult res;
  robot.checkSelfCollision(req, res, state, acm);
  EXPECT_FALSE(res.collision);
  EXPECT_GT(res.distance, 0.0);
  EXPECT_LT(res.distance, 1.0);
}

TEST(CollisionRobotFCL, OtherRobotAtTheSameStateCollides)
{
  CollisionRobotFCL robot(arm6::model());
  CollisionRobotFCL other(arm6::model());
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();
  arm6::setArm(state, arm6::groupState("home"));
  CollisionRequest req;
  CollisionResult res;
  robot.checkOtherCollision(req, res, state, other, state);
  EXPECT_TRUE(res.collision);
}

TEST(CollisionRobotFCL, ContinuousChecksOnlyReportThatTheyAreMissing)
{
  CollisionRobotFCL robot(arm6::model());
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();
  CollisionRequest req;
  CollisionResult res;
  testing::internal::CaptureStdout();
  robot.checkSelfCollision(req, res, state, state);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "collision_detection.fcl----FCL continuous collision checking not yet implemented");
  EXPECT_FALSE(res.collision);
}

// A box attached far out from the gripper, and a world box whose face is `gap` beyond the attached box's face.
class AttachedBoxPadding : public testing::Test
{
protected:
  void SetUp() override
  {
    state_.setToDefaultValues();
    arm6::setArm(state_, arm6::groupState("ready"));
    auto body = std::make_unique<robot_model::core::AttachedBody>();
    body->id_ = "grab_object";
    body->parent_link_ = arm6::model()->getLinkModel("gripper_link");
    body->shapes_.push_back(std::make_shared<const shapes::Box>(0.1, 0.1, 0.1));
    body->shape_poses_.push_back(Eigen::Isometry3d(Eigen::Translation3d(0.0, 0.0, 0.4)));
    state_.attachBody(std::move(body));
  }

  bool collidesWithBoxAt(double gap, double gripper_padding)
  {
    auto world = std::make_shared<World>();
    const Eigen::Isometry3d& box_pose = state_.getAttachedBody("grab_object")->global_shape_poses_[0];
    // Same orientation as the attached box, shifted along its local z.
    world->addToObject("obstacle", std::make_shared<const shapes::Box>(0.1, 0.1, 0.1),
                       box_pose * Eigen::Translation3d(0.0, 0.0, 0.1 + gap));
    CollisionWorldFCL collision_world(world);
    CollisionRobotFCL robot(arm6::model());
    robot.setLinkPadding("gripper_link", gripper_padding);
    CollisionRequest req;
    CollisionResult res;
    collision_world.checkRobotCollision(req, res, robot, state_);
    return res.collision;
  }

  robot_model::core::RobotState state_{ arm6::model() };
};

TEST_F(AttachedBoxPadding, BodyIsPaddedLikeItsParentLinkOnEverySide)
{
  testing::internal::CaptureStdout();
  EXPECT_FALSE(collidesWithBoxAt(0.005, 0.0));
  EXPECT_TRUE(collidesWithBoxAt(0.055, 0.06));  // 0.06 on the near face
  EXPECT_FALSE(collidesWithBoxAt(0.065, 0.06));
  testing::internal::GetCapturedStdout();
}
