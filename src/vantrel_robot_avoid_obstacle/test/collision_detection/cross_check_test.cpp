// Over many random arm6 states, the robot-against-world and the self check answer as a brute-force
// test of every pair they must consider with FCL's narrow phase directly.
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
bool narrowPhaseCollides(const fcl::CollisionObjectd& a, const fcl::CollisionObjectd& b)
{
  static const fcl::CollisionRequestd request(1, false, 1, false, true, fcl::GST_LIBCCD);
  if (!a.getAABB().overlap(b.getAABB()))  // only saves narrow-phase calls
    return false;
  fcl::CollisionResultd result;
  return fcl::collide(&a, &b, request, result) > 0;
}

std::vector<fcl::CollisionObjectd> occupiedVoxels(const octomap::OcTree& tree)
{
  std::vector<fcl::CollisionObjectd> voxels;
  for (auto it = tree.begin_leafs(); it != tree.end_leafs(); ++it)
    if (tree.isNodeOccupied(*it))
      voxels.emplace_back(std::make_shared<fcl::Boxd>(it.getSize(), it.getSize(), it.getSize()),
                          fcl::Transform3d(fcl::Translation3d(it.getX(), it.getY(), it.getZ())));
  return voxels;
}

bool alwaysAllowed(const AllowedCollisionMatrix& acm, const FCLGeometryConstPtr& a, const FCLGeometryConstPtr& b)
{
  const std::string& name_a = a->collision_geometry_data_->getID();
  const std::string& name_b = b->collision_geometry_data_->getID();
  AllowedCollision::Type type = AllowedCollision::NEVER;
  return name_a == name_b || (acm.getAllowedCollision(name_a, name_b, type) && type == AllowedCollision::ALWAYS);
}
}  // namespace

TEST(CrossCheck, RobotAgainstOctreeAndSelfCheckEqualBruteForceOverRandomStates)
{
  std::mt19937 rng(20261206);
  const auto tree = arm6::randomVoxels(0.02, 300, 0.7, 1.1, rng);
  const std::vector<fcl::CollisionObjectd> voxels = occupiedVoxels(*tree);

  auto world = std::make_shared<World>();
  testing::internal::CaptureStdout();
  CollisionWorldFCL fcl_world(world);
  world->addToObject("world_octomap", std::make_shared<const shapes::OcTree>(tree), Eigen::Isometry3d::Identity());
  testing::internal::GetCapturedStdout();
  const AllowedCollisionMatrix acm = arm6::disabledPairs();
  const CollisionRobotFCL robot(arm6::model());
  const auto& geometries = robot.getCollisionGeometries();
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();

  const int samples = 10000;
  int world_collisions = 0, self_collisions = 0;
  for (int i = 0; i < samples; ++i)
  {
    arm6::setArm(state, arm6::randomArm(rng));
    std::vector<fcl::CollisionObjectd> links;
    for (std::size_t j = 0; j < geometries.size(); ++j)
      links.emplace_back(geometries[j]->collision_geometry_, state.getCollisionBodyTransform(j));
    bool world_expected = false, self_expected = false;
    for (std::size_t a = 0; a < links.size(); ++a)
    {
      for (std::size_t v = 0; v < voxels.size() && !world_expected; ++v)
        world_expected = narrowPhaseCollides(links[a], voxels[v]);
      for (std::size_t b = a + 1; b < links.size() && !self_expected; ++b)
        self_expected = !alwaysAllowed(acm, geometries[a], geometries[b]) && narrowPhaseCollides(links[a], links[b]);
    }

    CollisionResult world_res, self_res;
    fcl_world.checkRobotCollision(CollisionRequest(), world_res, robot, state);
    robot.checkSelfCollision(CollisionRequest(), self_res, state, acm);
    ASSERT_EQ(world_res.collision, world_expected) << "sample " << i;
    ASSERT_EQ(self_res.collision, self_expected) << "sample " << i;
    world_collisions += world_expected;
    self_collisions += self_expected;
  }
  // Both answers must be common for the comparisons to mean something.
  for (int collisions : { world_collisions, self_collisions })
  {
    EXPECT_GT(collisions, samples / 20);
    EXPECT_LT(collisions, samples - samples / 20);
  }
}
