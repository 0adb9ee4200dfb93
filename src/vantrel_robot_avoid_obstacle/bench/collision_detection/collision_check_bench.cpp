// Cost per state of the planner's validity test on arm6 (robot against world, then self) in six
// scenes, and of the same link objects checked by plain FCL calls, to show the layer's overhead.
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcl/geometry/octree/octree.h>
#include <fcl/narrowphase/collision.h>
#include <octomap/OcTree.h>

#include "collision_detection/collision_robot_fcl.h"
#include "collision_detection/collision_world_fcl.h"
#include "benchmark_scenes.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/core/robot_state.h"
#include "robot_model/shapes/shapes.h"
#include "robot_model/srdf_parser/model.h"

using namespace collision_detection;

namespace
{
enum Scene
{
  EMPTY_WORLD,
  EMPTY_OCTREE,
  TABLE_AND_WALL,
  GRAZING,
  COLLIDING,
  CLUTTERED_TABLE,
};

struct Arm6
{
  Arm6()
    : model(std::make_shared<const robot_model::core::RobotModel>(
          std::string(RAO_SOURCE_DIR) + "/src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/",
          "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf", "srdf/arm6_and_whole_gripper_linker.srdf"))
    , group(model->getJointModelGroup("arm"))
    , robot(model)
    , state(model)
  {
    for (const auto& pair : model->getSRDF()->getDisabledCollisionPairs())
      acm.setEntry(pair.link1_, pair.link2_, true);
    state.setToDefaultValues();
  }

  void set(const std::vector<double>& values)
  {
    state.setJointGroupPositions(group, values);
    state.updateCollisionBodyTransforms();
  }

  bool valid(const CollisionWorld& world)
  {
    CollisionRequest req;
    req.group_name = group->getName();
    CollisionResult res;
    world.checkRobotCollision(req, res, robot, state, acm);
    if (!res.collision)
      robot.checkSelfCollision(req, res, state, acm);
    return !res.collision;
  }

  std::shared_ptr<const robot_model::core::RobotModel> model;
  const robot_model::core::JointModelGroup* group;
  CollisionRobotFCL robot;
  robot_model::core::RobotState state;
  AllowedCollisionMatrix acm;
};

Arm6& arm6()
{
  static Arm6 arm;
  return arm;
}

// Self-collision-free random states, so that every check runs its full course.
std::vector<std::vector<double>> freeStates(Arm6& arm, const CollisionWorld& world, std::size_t count)
{
  std::mt19937 rng(11);
  std::vector<std::vector<double>> states;
  while (states.size() < count)
  {
    std::vector<double> values;
    for (const auto* bounds : arm.group->getActiveJointModelsBounds())
      for (const auto& variable : *bounds)
        values.push_back(std::uniform_real_distribution<double>(variable.min_position_, variable.max_position_)(rng));
    arm.set(values);
    if (arm.valid(world))
      states.push_back(values);
  }
  return states;
}

struct SceneSetup
{
  std::shared_ptr<World> world = std::make_shared<World>();
  std::unique_ptr<CollisionWorldFCL> fcl_world = std::make_unique<CollisionWorldFCL>(world);
  std::shared_ptr<octomap::OcTree> tree = std::make_shared<octomap::OcTree>(benchmark_scenes::kResolution);
  std::vector<std::vector<double>> states;
};

SceneSetup makeScene(Scene scene)
{
  Arm6& arm = arm6();
  SceneSetup setup;
  if (scene != EMPTY_WORLD)
    setup.world->addToObject("world_octomap", std::make_shared<const shapes::OcTree>(setup.tree),
                             Eigen::Isometry3d::Identity());
  if (scene == TABLE_AND_WALL)
    benchmark_scenes::tableAndWall(*setup.tree);
  if (scene == CLUTTERED_TABLE)
    benchmark_scenes::clutteredTable(*setup.tree);
  if (scene == GRAZING || scene == COLLIDING)
  {
    // The ready-like pose with the gripper hanging down; the plate rises until it first touches.
    const std::vector<double> pose = { 0.0, -0.5, -0.4, 0.0, -0.67, 0.0 };
    arm.set(pose);
    const Eigen::Vector3d gripper =
        arm.state.getGlobalLinkTransform(arm.model->getLinkModel("gripper_link")).translation();
    const benchmark_scenes::PlateTops tops = benchmark_scenes::touchingPlate(*setup.tree, gripper, [&] {
      arm.set(pose);
      return !arm.valid(*setup.fcl_world);
    });
    benchmark_scenes::plateUnder(*setup.tree, gripper, scene == GRAZING ? tops.free : tops.touching + 0.03);
    setup.states = { pose };
    return setup;
  }
  setup.states = freeStates(arm, *setup.fcl_world, 64);
  return setup;
}

void BM_WorldAndSelfCheck(benchmark::State& bench, Scene scene)
{
  Arm6& arm = arm6();
  SceneSetup setup = makeScene(scene);
  std::size_t i = 0;
  std::size_t collisions = 0;
  for (auto _ : bench)
  {
    arm.set(setup.states[i++ % setup.states.size()]);
    collisions += arm.valid(*setup.fcl_world) ? 0 : 1;
  }
  bench.counters["colliding"] = benchmark::Counter(static_cast<double>(collisions) / bench.iterations());
  std::size_t occupied = 0;
  for (auto it = setup.tree->begin_leafs(); it != setup.tree->end_leafs(); ++it)
    occupied += setup.tree->isNodeOccupied(*it) ? 1 : 0;
  bench.counters["occupied_leaves"] = static_cast<double>(occupied);
}

// The same link objects and the same pairs, by plain FCL calls without manager, callback, matrix
// lookup or allocation.
void BM_PlainFCLLoop(benchmark::State& bench, Scene scene)
{
  Arm6& arm = arm6();
  SceneSetup setup = makeScene(scene);
  const auto& geometries = arm.robot.getCollisionGeometries();
  std::vector<fcl::CollisionObjectd> links;
  for (const auto& geometry : geometries)
    links.emplace_back(geometry->collision_geometry_);
  // Only the links the group moves meet the world; a self pair needs one of them.
  const auto& moved = arm.group->getUpdatedLinkModelsSet();
  auto isMoved = [&](std::size_t k) { return moved.count(geometries[k]->collision_geometry_data_->ptr.link) > 0; };
  std::vector<std::size_t> world_links;
  std::vector<std::pair<std::size_t, std::size_t>> self_pairs;
  for (std::size_t a = 0; a < links.size(); ++a)
  {
    if (isMoved(a))
      world_links.push_back(a);
    for (std::size_t b = a + 1; b < links.size(); ++b)
    {
      const std::string& name_a = geometries[a]->collision_geometry_data_->getID();
      const std::string& name_b = geometries[b]->collision_geometry_data_->getID();
      AllowedCollision::Type type = AllowedCollision::NEVER;
      if (name_a != name_b && (isMoved(a) || isMoved(b)) &&
          !(arm.acm.getAllowedCollision(name_a, name_b, type) && type == AllowedCollision::ALWAYS))
        self_pairs.emplace_back(a, b);
    }
  }
  std::unique_ptr<fcl::CollisionObjectd> octree;
  if (scene != EMPTY_WORLD)
    octree = std::make_unique<fcl::CollisionObjectd>(std::make_shared<fcl::OcTreed>(setup.tree));
  const fcl::CollisionRequestd request(1, false, 1, false, true, fcl::GST_LIBCCD);

  std::size_t i = 0;
  std::size_t collisions = 0;
  for (auto _ : bench)
  {
    arm.set(setup.states[i++ % setup.states.size()]);
    for (std::size_t k = 0; k < links.size(); ++k)
    {
      links[k].setTransform(arm.state.getCollisionBodyTransform(k));
      computeTightAABB(links[k]);  // the boxes the layer uses, so the ratio shows its overhead only
    }
    bool collision = false;
    if (octree && octree->collisionGeometry() && setup.tree->getRoot() != nullptr)
      for (std::size_t w = 0; w < world_links.size() && !collision; ++w)
      {
        fcl::CollisionResultd result;
        collision = fcl::collide(&links[world_links[w]], octree.get(), request, result) > 0;
      }
    for (std::size_t p = 0; p < self_pairs.size() && !collision; ++p)
    {
      fcl::CollisionObjectd& a = links[self_pairs[p].first];
      fcl::CollisionObjectd& b = links[self_pairs[p].second];
      if (!a.getAABB().overlap(b.getAABB()))
        continue;
      fcl::CollisionResultd result;
      collision = fcl::collide(&a, &b, request, result) > 0;
    }
    collisions += collision ? 1 : 0;
  }
  bench.counters["colliding"] = benchmark::Counter(static_cast<double>(collisions) / bench.iterations());
}
}  // namespace

BENCHMARK_CAPTURE(BM_WorldAndSelfCheck, a_empty_world, EMPTY_WORLD)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WorldAndSelfCheck, b_empty_octree, EMPTY_OCTREE)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WorldAndSelfCheck, c_table_and_wall, TABLE_AND_WALL)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WorldAndSelfCheck, d_grazing, GRAZING)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WorldAndSelfCheck, e_colliding, COLLIDING)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WorldAndSelfCheck, f_cluttered_table, CLUTTERED_TABLE)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainFCLLoop, a_empty_world, EMPTY_WORLD)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainFCLLoop, b_empty_octree, EMPTY_OCTREE)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainFCLLoop, c_table_and_wall, TABLE_AND_WALL)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainFCLLoop, d_grazing, GRAZING)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainFCLLoop, e_colliding, COLLIDING)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainFCLLoop, f_cluttered_table, CLUTTERED_TABLE)->Unit(benchmark::kMicrosecond);
