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
Eigen::Isometry3d at(double x, double y, double z)
{
  return Eigen::Isometry3d(Eigen::Translation3d(x, y, z));
}

const std::shared_ptr<const shapes::Shape> kCube = std::make_shared<const shapes::Box>(0.1, 0.1, 0.1);
const std::shared_ptr<const shapes::Shape> kTable = std::make_shared<const shapes::Box>(2.0, 2.0, 0.02);

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

  bool robotCollides(const CollisionWorldFCL& world)
  {
    CollisionResult res;
    world.checkRobotCollision(CollisionRequest(), res, robot_, state_, acm_);
    return res.collision;
  }

  robot_model::core::RobotState state_{ arm6::model() };
  AllowedCollisionMatrix acm_ = arm6::disabledPairs();
  CollisionRobotFCL robot_{ arm6::model() };
};
}  // namespace

TEST_F(CollisionWorldFCLTest, FollowsTheObjectsOfTheWorldItObserves)
{
  auto world = std::make_shared<World>();
  world->addToObject("a", kCube, at(2, 0, 0));
  CollisionWorldFCL fcl_world(world);
  world->addToObject("a", kCube, at(3, 0, 0));
  world->addToObject("b", kCube, at(4, 0, 0));
  ASSERT_EQ(fcl_world.getFCLObjects().size(), 2u);
  EXPECT_EQ(fcl_world.getFCLObjects().at("a").collision_objects_.size(), 2u);
  EXPECT_FALSE(robotCollides(fcl_world));
  world->addToObject("table", kTable, at(0, 0, 0.3));
  EXPECT_TRUE(robotCollides(fcl_world));
  world->clearObjects();
  EXPECT_TRUE(fcl_world.getFCLObjects().empty());
  EXPECT_FALSE(robotCollides(fcl_world));

  // Another world: its objects replace these, and the old one is no longer observed.
  auto second = std::make_shared<World>();
  second->addToObject("c", kCube, at(2, 0, 0));
  fcl_world.setWorld(second);
  world->addToObject("d", kCube, at(2, 0, 0));
  EXPECT_EQ(fcl_world.getFCLObjects().size(), 1u);
  EXPECT_EQ(fcl_world.getFCLObjects().count("c"), 1u);
}

// One occupied voxel 1 cm beyond the face of the camera box, along the camera's x axis.
class OctreeWorld : public CollisionWorldFCLTest
{
protected:
  void SetUp() override
  {
    CollisionWorldFCLTest::SetUp();
    camera_pose_ = state_.getCollisionBodyTransform(arm6::model()->getLinkModel("camera_link"), 0);
    const Eigen::Vector3d out = camera_pose_.linear().col(0);
    ASSERT_NEAR(out.cwiseAbs().maxCoeff(), 1.0, 1e-9);  // the camera is axis-aligned here
    voxel_point_ = camera_pose_.translation() + out * (0.0125 + 0.01 + 0.5 * kResolution);
    world_->addToObject("world_octomap", std::make_shared<const shapes::OcTree>(tree_), Eigen::Isometry3d::Identity());
  }

  void fill()
  {
    tree_->clear();
    tree_->updateNode(octomap::point3d(voxel_point_.x(), voxel_point_.y(), voxel_point_.z()), true);
  }

  // The gap between the camera box and the voxel that holds the point, by FCL directly.
  double gap() const
  {
    const octomap::point3d center = tree_->keyToCoord(tree_->coordToKey(voxel_point_.x(), voxel_point_.y(), voxel_point_.z()));
    fcl::CollisionObjectd voxel(std::make_shared<fcl::Boxd>(kResolution, kResolution, kResolution),
                                fcl::Transform3d(fcl::Translation3d(center.x(), center.y(), center.z())));
    fcl::CollisionObjectd box(std::make_shared<fcl::Boxd>(0.025, 0.09, 0.03), camera_pose_);
    fcl::DistanceResultd result;
    return fcl::distance(&voxel, &box, fcl::DistanceRequestd(), result);
  }

  static constexpr double kResolution = 0.01;
  std::shared_ptr<octomap::OcTree> tree_ = std::make_shared<octomap::OcTree>(kResolution);
  std::shared_ptr<World> world_ = std::make_shared<World>();
  Eigen::Isometry3d camera_pose_;
  Eigen::Vector3d voxel_point_;
};

TEST_F(OctreeWorld, VoxelOneCentimetreAwayIsFreeUntilPadded)
{
  fill();
  EXPECT_NEAR(gap(), 0.01, 0.0051);
  CollisionWorldFCL fcl_world(world_);
  EXPECT_FALSE(robotCollides(fcl_world));
  robot_.setLinkPadding("camera_link", 0.02);
  EXPECT_TRUE(robotCollides(fcl_world));
}

TEST_F(OctreeWorld, RefillingTheSharedTreeChangesTheAnswerWithoutAddingItAgain)
{
  CollisionWorldFCL fcl_world(world_);
  robot_.setLinkPadding("camera_link", 0.02);
  EXPECT_FALSE(robotCollides(fcl_world));  // empty octree
  fill();
  EXPECT_TRUE(robotCollides(fcl_world));
  tree_->clear();
  EXPECT_FALSE(robotCollides(fcl_world));
  // Refilled far away first, then near again.
  tree_->updateNode(octomap::point3d(5.0f, 5.0f, 5.0f), true);
  EXPECT_FALSE(robotCollides(fcl_world));
  fill();
  EXPECT_TRUE(robotCollides(fcl_world));
}

TEST_F(CollisionWorldFCLTest, WorldsCollideWhereTheirObjectsOverlapUnlessAllowed)
{
  auto first = std::make_shared<World>();
  first->addToObject("a", kCube, at(0, 0, 0));
  auto second = std::make_shared<World>();
  second->addToObject("b", kCube, at(0.05, 0, 0));
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
