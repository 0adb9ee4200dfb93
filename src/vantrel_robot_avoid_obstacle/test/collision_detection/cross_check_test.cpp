// The robot-against-world answer over many random states equals a brute-force check of every link
// shape against every occupied voxel with FCL's narrow phase.
#include <memory>
#include <random>
#include <vector>

#include <fcl/geometry/shape/box.h>
#include <fcl/narrowphase/collision.h>
#include <gtest/gtest.h>
#include <octomap/OcTree.h>

#include "arm6_fixture.h"
#include "collision_detection/collision_robot_fcl.h"
#include "collision_detection/collision_world_fcl.h"
#include "robot_model/shapes/shapes.h"

using namespace collision_detection;

namespace
{

std::vector<std::unique_ptr<fcl::CollisionObjectd>> occupiedVoxels(const octomap::OcTree& tree)
{
  std::vector<std::unique_ptr<fcl::CollisionObjectd>> voxels;
  for (auto it = tree.begin_leafs(); it != tree.end_leafs(); ++it)
  {
    if (!tree.isNodeOccupied(*it))
      continue;
    const double size = it.getSize();
    voxels.push_back(std::make_unique<fcl::CollisionObjectd>(
        std::make_shared<fcl::Boxd>(size, size, size),
        fcl::Transform3d(fcl::Translation3d(it.getX(), it.getY(), it.getZ()))));
  }
  return voxels;
}

bool bruteForceCollides(const CollisionRobotFCL& robot, const robot_model::core::RobotState& state,
                        const std::vector<std::unique_ptr<fcl::CollisionObjectd>>& voxels)
{
  const fcl::CollisionRequestd request(1, false, 1, false, true, fcl::GST_LIBCCD);
  const auto& geometries = robot.getCollisionGeometries();
  for (std::size_t i = 0; i < geometries.size(); ++i)
  {
    fcl::CollisionObjectd link(geometries[i]->collision_geometry_, state.getCollisionBodyTransform(i));
    for (const auto& voxel : voxels)
    {
      // Boxes that do not overlap cannot collide; this only saves narrow-phase calls.
      if (!link.getAABB().overlap(voxel->getAABB()))
        continue;
      fcl::CollisionResultd result;
      if (fcl::collide(&link, voxel.get(), request, result) > 0)
        return true;
    }
  }
  return false;
}
}  // namespace

TEST(CrossCheck, RobotAgainstOctreeEqualsBruteForceOverRandomStates)
{
  std::mt19937 rng(20261206);
  auto tree = std::make_shared<octomap::OcTree>(0.02);
  std::uniform_real_distribution<double> xy(-0.7, 0.7);
  std::uniform_real_distribution<double> z(0.0, 1.1);
  for (int i = 0; i < 300; ++i)
    tree->updateNode(octomap::point3d(xy(rng), xy(rng), z(rng)), true);
  const auto voxels = occupiedVoxels(*tree);

  auto world = std::make_shared<World>();
  testing::internal::CaptureStdout();
  CollisionWorldFCL fcl_world(world);
  world->addToObject("world_octomap", std::make_shared<const shapes::OcTree>(tree), Eigen::Isometry3d::Identity());
  testing::internal::GetCapturedStdout();
  CollisionRobotFCL robot(arm6::model());
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();

  int collisions = 0;
  const int samples = 10000;
  for (int i = 0; i < samples; ++i)
  {
    arm6::setArm(state, arm6::randomArm(rng));
    CollisionRequest req;
    CollisionResult res;
    fcl_world.checkRobotCollision(req, res, robot, state);
    ASSERT_EQ(res.collision, bruteForceCollides(robot, state, voxels)) << "sample " << i;
    collisions += res.collision ? 1 : 0;
  }
  // Both answers must be common for the comparison to mean something.
  EXPECT_GT(collisions, samples / 20);
  EXPECT_LT(collisions, samples - samples / 20);
}

TEST(CrossCheck, SelfCheckEqualsEveryPairNotAllowedByTheMatrix)
{
  const AllowedCollisionMatrix acm = arm6::disabledPairs();
  CollisionRobotFCL robot(arm6::model());
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();
  const auto& geometries = robot.getCollisionGeometries();
  const fcl::CollisionRequestd request(1, false, 1, false, true, fcl::GST_LIBCCD);
  std::mt19937 rng(99);
  int collisions = 0;
  const int samples = 2000;
  for (int i = 0; i < samples; ++i)
  {
    arm6::setArm(state, arm6::randomArm(rng));
    bool expected = false;
    for (std::size_t a = 0; a < geometries.size() && !expected; ++a)
      for (std::size_t b = a + 1; b < geometries.size() && !expected; ++b)
      {
        const std::string& name_a = geometries[a]->collision_geometry_data_->getID();
        const std::string& name_b = geometries[b]->collision_geometry_data_->getID();
        AllowedCollision::Type type = AllowedCollision::NEVER;
        if (name_a == name_b || (acm.getAllowedCollision(name_a, name_b, type) && type == AllowedCollision::ALWAYS))
          continue;
        fcl::CollisionObjectd first(geometries[a]->collision_geometry_, state.getCollisionBodyTransform(a));
        fcl::CollisionObjectd second(geometries[b]->collision_geometry_, state.getCollisionBodyTransform(b));
        fcl::CollisionResultd result;
        expected = fcl::collide(&first, &second, request, result) > 0;
      }
    CollisionRequest req;
    CollisionResult res;
    robot.checkSelfCollision(req, res, state, acm);
    ASSERT_EQ(res.collision, expected) << "sample " << i;
    collisions += expected ? 1 : 0;
  }
  EXPECT_GT(collisions, samples / 20);
  EXPECT_LT(collisions, samples - samples / 20);
}
