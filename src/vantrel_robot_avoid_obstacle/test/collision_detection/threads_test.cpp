// Checks on several threads share the robot's and the world's geometry; each thread keeps its own
// geometry caches and working objects, and gets the answers a single thread gets.
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "arm_fixtures.h"
#include "collision_detection/collision_robot_fcl.h"
#include "collision_detection/collision_world_fcl.h"
#include "robot_model/shapes/shapes.h"

using namespace collision_detection;

namespace
{
// World and self answers for a run of random states, with a box held in the gripper.
std::vector<int> answers(const CollisionWorldFCL& world, const CollisionRobotFCL& robot,
                         const AllowedCollisionMatrix& acm, unsigned seed)
{
  robot_model::core::RobotState state(arm6::model());
  state.setToDefaultValues();
  auto body = arm6::grabbedCube(0.05, 0.1);
  body->touch_links_ = { "gripper_link" };
  state.attachBody(std::move(body));

  std::mt19937 rng(seed);
  std::vector<int> out;
  for (int i = 0; i < 300; ++i)
  {
    arm6::setArm(state, arm6::randomArm(rng));
    CollisionResult world_res, self_res;
    world.checkRobotCollision(CollisionRequest(), world_res, robot, state, acm);
    robot.checkSelfCollision(CollisionRequest(), self_res, state, acm);
    out.push_back(world_res.collision * 2 + self_res.collision);
  }
  return out;
}
}  // namespace

TEST(Threads, ConcurrentChecksGiveTheSingleThreadAnswers)
{
  std::mt19937 rng(5);
  const auto tree = std::make_shared<octomap::OcTree>(0.05);
  arm6::addRandomVoxels(*tree, 100, 0.6, 1.0, rng);
  auto world = std::make_shared<World>();
  testing::internal::CaptureStdout();
  const CollisionWorldFCL fcl_world(world);
  world->addToObject("world_octomap", std::make_shared<const shapes::OcTree>(tree), Eigen::Isometry3d::Identity());
  CollisionRobotFCL robot(arm6::model());
  robot.setLinkPadding("gripper_link", 0.06);  // the held box is padded on every check
  testing::internal::GetCapturedStdout();
  const AllowedCollisionMatrix acm = arm6::disabledPairs();

  std::vector<std::vector<int>> parallel(3);
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < parallel.size(); ++t)
    threads.emplace_back([&, t] { parallel[t] = answers(fcl_world, robot, acm, t + 1); });
  for (std::thread& thread : threads)
    thread.join();
  int world_collisions = 0, self_collisions = 0;
  for (unsigned t = 0; t < parallel.size(); ++t)
  {
    const std::vector<int> single = answers(fcl_world, robot, acm, t + 1);
    EXPECT_EQ(parallel[t], single) << "thread " << t;
    for (int answer : single)
    {
      world_collisions += answer / 2;
      self_collisions += answer % 2;
    }
  }
  // Both kinds of collision must occur for the comparison to cover the narrow phase's work.
  EXPECT_GT(world_collisions, 0);
  EXPECT_GT(self_collisions, 0);
}
