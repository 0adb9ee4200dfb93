#include "collision_detection/collision_world_fcl.h"

#include <memory>

#include <fcl/geometry/shape/box.h>
#include <fcl/narrowphase/distance.h>
#include <gtest/gtest.h>
#include <octomap/OcTree.h>

#include "arm6_fixture.h"
#include "collision_detection/collision_robot_fcl.h"
#include "robot_model/shapes/shapes.h"

using namespace collision_detection;

namespace
{
class CollisionWorldFCLTest : public testing::Test
{
protected:
  void SetUp() override
  {
    testing::internal::CaptureStdout();  // the observer reports every update
    state_.setToDefaultValues();
    arm6::setArm(state_, arm6::groupState("home"));
  }
  void TearDown() override { testing::internal::GetCapturedStdout(); }

  bool robotCollides(const CollisionWorldFCL& world, const CollisionRobotFCL& robot)
  {
    CollisionRequest req;
    CollisionResult res;
    world.checkRobotCollision(req, res, robot, state_, acm_);
    return res.collision;
  }

  static std::shared_ptr<const shapes::Shape> cube(double side)
  {
    return std::make_shared<const shapes::Box>(side, side, side);
  }

  robot_model::core::RobotState state_{ arm6::model() };
  AllowedCollisionMatrix acm_ = arm6::disabledPairs();
  CollisionRobotFCL robot_{ arm6::model() };
};

Eigen::Isometry3d at(double x, double y, double z)
{
  return Eigen::Isometry3d(Eigen::Translation3d(x, y, z));
}
}  // namespace

TEST_F(CollisionWorldFCLTest, MirrorsObjectsPresentBeforeAndAddedAfter)
{
  auto world = std::make_shared<World>();
  world->addToObject("a", cube(0.1), at(2, 0, 0));
  CollisionWorldFCL fcl_world(world);
  ASSERT_EQ(fcl_world.getFCLObjects().count("a"), 1u);

  world->addToObject("a", cube(0.1), at(3, 0, 0));
  EXPECT_EQ(fcl_world.getFCLObjects().at("a").collision_objects_.size(), 2u);
  world->addToObject("b", cube(0.1), at(4, 0, 0));
  EXPECT_EQ(fcl_world.getFCLObjects().size(), 2u);

  // A destroy notification for an id never seen changes nothing.
  World::Object stranger("stranger");
  world->notify(std::make_shared<const World::Object>("stranger"), World::DESTROY);
  EXPECT_EQ(fcl_world.getFCLObjects().size(), 2u);

  world->clearObjects();
  EXPECT_TRUE(fcl_world.getFCLObjects().empty());
  EXPECT_FALSE(robotCollides(fcl_world, robot_));
}

TEST_F(CollisionWorldFCLTest, AnObjectOverTheArmCollidesAndIsForgottenWhenCleared)
{
  auto world = std::make_shared<World>();
  CollisionWorldFCL fcl_world(world);
  EXPECT_FALSE(robotCollides(fcl_world, robot_));
  world->addToObject("table", std::make_shared<const shapes::Box>(2.0, 2.0, 0.02), at(0, 0, 0.3));
  EXPECT_TRUE(robotCollides(fcl_world, robot_));
  world->clearObjects();
  EXPECT_FALSE(robotCollides(fcl_world, robot_));
}

TEST_F(CollisionWorldFCLTest, SetWorldSwitchesObjectsAndIgnoresTheSameWorld)
{
  auto first = std::make_shared<World>();
  first->addToObject("a", cube(0.1), at(2, 0, 0));
  auto second = std::make_shared<World>();
  second->addToObject("b", cube(0.1), at(2, 0, 0));
  second->addToObject("c", cube(0.1), at(3, 0, 0));
  CollisionWorldFCL fcl_world(first);

  testing::internal::GetCapturedStdout();
  testing::internal::CaptureStdout();
  fcl_world.setWorld(first);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  testing::internal::CaptureStdout();

  fcl_world.setWorld(second);
  EXPECT_EQ(fcl_world.getFCLObjects().size(), 2u);
  EXPECT_EQ(fcl_world.getFCLObjects().count("a"), 0u);
  first->addToObject("d", cube(0.1), at(2, 0, 0));  // no longer observed
  EXPECT_EQ(fcl_world.getFCLObjects().count("d"), 0u);

  fcl_world.setWorld(nullptr);
  EXPECT_TRUE(fcl_world.getWorld());
  EXPECT_TRUE(fcl_world.getFCLObjects().empty());
}

TEST_F(CollisionWorldFCLTest, SelfCollisionFoundFirstSkipsTheWorldTest)
{
  auto world = std::make_shared<World>();
  CollisionWorldFCL fcl_world(world);
  world->addToObject("table", std::make_shared<const shapes::Box>(2.0, 2.0, 0.02), at(0, 0, 0.3));
  CollisionRequest req;
  req.verbose = true;  // names every colliding pair
  auto checkedPairs = [&](const AllowedCollisionMatrix& acm) {
    CollisionResult res;
    testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    fcl_world.checkCollision(req, res, robot_, state_, acm);
    EXPECT_TRUE(res.collision);
    const std::string out = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    return out;
  };
  EXPECT_NE(checkedPairs(acm_).find("table"), std::string::npos);
  // Without a matrix adjacent links touch: found by the self test, the world is not asked.
  EXPECT_EQ(checkedPairs(AllowedCollisionMatrix()).find("table"), std::string::npos);
}

// One occupied voxel 1 cm beyond the face of the camera box, along the camera's x axis.
class OctreeWorld : public CollisionWorldFCLTest
{
protected:
  void SetUp() override
  {
    CollisionWorldFCLTest::SetUp();
    const robot_model::core::LinkModel* camera = arm6::model()->getLinkModel("camera_link");
    camera_pose_ = state_.getCollisionBodyTransform(camera, 0);
    const Eigen::Vector3d out = camera_pose_.linear().col(0);
    ASSERT_NEAR(out.cwiseAbs().maxCoeff(), 1.0, 1e-9);  // the camera is axis-aligned here
    voxel_point_ = camera_pose_.translation() + out * (0.0125 + 0.01 + 0.5 * kResolution);
  }

  void fill()
  {
    tree_->clear();
    tree_->updateNode(octomap::point3d(voxel_point_.x(), voxel_point_.y(), voxel_point_.z()), true);
  }

  // The gap between the camera box and the voxel that holds the point, by FCL directly.
  double gap() const
  {
    const octomap::OcTreeKey key = tree_->coordToKey(voxel_point_.x(), voxel_point_.y(), voxel_point_.z());
    const octomap::point3d center = tree_->keyToCoord(key);
    fcl::CollisionObjectd voxel(std::make_shared<fcl::Boxd>(kResolution, kResolution, kResolution),
                                fcl::Transform3d(fcl::Translation3d(center.x(), center.y(), center.z())));
    fcl::CollisionObjectd box(std::make_shared<fcl::Boxd>(0.025, 0.09, 0.03), camera_pose_);
    fcl::DistanceResultd result;
    return fcl::distance(&voxel, &box, fcl::DistanceRequestd(), result);
  }

  static constexpr double kResolution = 0.01;
  std::shared_ptr<octomap::OcTree> tree_ = std::make_shared<octomap::OcTree>(kResolution);
  Eigen::Isometry3d camera_pose_;
  Eigen::Vector3d voxel_point_;
};

TEST_F(OctreeWorld, VoxelOneCentimetreAwayIsFreeUntilPadded)
{
  fill();
  EXPECT_NEAR(gap(), 0.01, 0.0051);
  auto world = std::make_shared<World>();
  CollisionWorldFCL fcl_world(world);
  world->addToObject("world_octomap", std::make_shared<const shapes::OcTree>(tree_), Eigen::Isometry3d::Identity());
  EXPECT_FALSE(robotCollides(fcl_world, robot_));
  robot_.setLinkPadding("camera_link", 0.02);
  EXPECT_TRUE(robotCollides(fcl_world, robot_));
}

TEST_F(OctreeWorld, RefillingTheSharedTreeChangesTheAnswerWithoutAddingItAgain)
{
  auto world = std::make_shared<World>();
  CollisionWorldFCL fcl_world(world);
  world->addToObject("world_octomap", std::make_shared<const shapes::OcTree>(tree_), Eigen::Isometry3d::Identity());
  robot_.setLinkPadding("camera_link", 0.02);
  EXPECT_FALSE(robotCollides(fcl_world, robot_));  // empty octree

  fill();
  EXPECT_TRUE(robotCollides(fcl_world, robot_));
  tree_->clear();
  EXPECT_FALSE(robotCollides(fcl_world, robot_));
  // Refilled far away first, then near again.
  tree_->updateNode(octomap::point3d(5.0f, 5.0f, 5.0f), true);
  EXPECT_FALSE(robotCollides(fcl_world, robot_));
  fill();
  EXPECT_TRUE(robotCollides(fcl_world, robot_));
}

TEST_F(CollisionWorldFCLTest, WorldsCollideWhereTheirObjectsOverlapUnlessAllowed)
{
  auto first = std::make_shared<World>();
  first->addToObject("a", cube(0.1), at(0, 0, 0));
  auto second = std::make_shared<World>();
  second->addToObject("b", cube(0.1), at(0.05, 0, 0));
  CollisionWorldFCL fcl_first(first);
  CollisionWorldFCL fcl_second(second);
  CollisionRequest req;
  req.distance = true;
  CollisionResult res;
  fcl_first.checkWorldCollision(req, res, fcl_second);
  EXPECT_TRUE(res.collision);
  EXPECT_LE(res.distance, 0.0);

  AllowedCollisionMatrix acm;
  acm.setEntry("a", "b", true);
  CollisionResult allowed;
  fcl_first.checkWorldCollision(req, allowed, fcl_second, acm);
  EXPECT_FALSE(allowed.collision);
}
