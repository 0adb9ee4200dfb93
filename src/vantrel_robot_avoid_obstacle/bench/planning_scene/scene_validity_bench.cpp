// The planner's inner loop, ManipulatorPlanScene::isStateValid on arm6, in the collision layer's five
// scenes: per-call time distribution and heap allocations per call.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <random>

#include "sample_statistics.h"
#include "support/scene_fixtures.h"

namespace {
std::atomic<long> g_allocations{0};
}

// Counting replacements of the global allocation functions; g++ warns about free() on memory from
// operator new once it has inlined both, which is what these pairs do on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  const std::size_t align = static_cast<std::size_t>(alignment);
  if (void* p = std::aligned_alloc(align, (size + align - 1) / align * align)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

enum Scene { EMPTY_WORLD, EMPTY_OCTREE, TABLE_AND_WALL, GRAZING, COLLIDING };

constexpr double kResolution = 0.01;
const std::vector<double> kPose{0.0, -0.5, -0.4, 0.0, -0.67, 0.0};

// A 30 cm square plate under the gripper with its top at the given height.
void plateUnderGripper(octomap::OcTree& tree, const Eigen::Vector3d& gripper, double top) {
  tree.clear();
  fillBox(tree, Eigen::Vector3d(gripper.x() - 0.15, gripper.y() - 0.15, top - 0.03),
          Eigen::Vector3d(gripper.x() + 0.15, gripper.y() + 0.15, top));
}

struct Setup {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene();
  std::shared_ptr<octomap::OcTree> tree = makeOctree(kResolution);
  std::vector<std::vector<double>> states;
};

std::unique_ptr<Setup> makeSetup(Scene kind) {
  auto setup = std::make_unique<Setup>();
  ManipulatorPlanScene& scene = *setup->scene;
  if (kind != EMPTY_WORLD) scene.updateWorldOctomap(setup->tree);
  if (kind == TABLE_AND_WALL) {
    fillBox(*setup->tree, Eigen::Vector3d(1.3, -0.6, -0.03), Eigen::Vector3d(1.9, 0.6, 0.0));
    fillBox(*setup->tree, Eigen::Vector3d(2.0, -0.6, 0.0), Eigen::Vector3d(2.02, 0.6, 1.0));
  }
  if (kind == GRAZING || kind == COLLIDING) {
    // The plate rises until it first touches the hanging gripper.
    const Eigen::Vector3d gripper = linkPosition(scene, kPose, "gripper_link");
    double free_top = gripper.z() - 1.0;
    double touching_top = gripper.z() + 0.2;
    while (touching_top - free_top > 0.002) {
      const double top = 0.5 * (free_top + touching_top);
      plateUnderGripper(*setup->tree, gripper, top);
      (scene.isStateValid(kPose.data()) ? free_top : touching_top) = top;
    }
    plateUnderGripper(*setup->tree, gripper, kind == GRAZING ? free_top : touching_top + 0.03);
    setup->states = {kPose};
    return setup;
  }
  std::vector<std::pair<double, double>> bounds;
  scene.getJointLimits(bounds);
  std::mt19937 rng(11);
  while (setup->states.size() < 64) {
    std::vector<double> q;
    for (const auto& bound : bounds) q.push_back(std::uniform_real_distribution<double>(bound.first, bound.second)(rng));
    if (scene.isStateValid(q.data())) setup->states.push_back(q);
  }
  return setup;
}

void BM_IsStateValid(benchmark::State& bench, Scene kind) {
  std::unique_ptr<Setup> setup = makeSetup(kind);
  ManipulatorPlanScene& scene = *setup->scene;
  std::vector<double> call_us;
  call_us.reserve(1 << 20);
  std::size_t i = 0;
  long invalid = 0;
  long calls = 0;
  const long allocations_before = g_allocations.load();
  for (auto _ : bench) {
    const double* q = setup->states[i++ % setup->states.size()].data();
    const auto start = std::chrono::steady_clock::now();
    const bool valid = scene.isStateValid(q);
    const auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(valid);
    invalid += valid ? 0 : 1;
    ++calls;
    if (call_us.size() < call_us.capacity()) call_us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
  }
  // The sample vector's growth is excluded: its capacity was reserved before the loop.
  bench.counters["allocs_per_call"] = static_cast<double>(g_allocations.load() - allocations_before) / calls;
  bench.counters["invalid_fraction"] = static_cast<double>(invalid) / calls;
  reportDistribution(bench, "us", call_us);
}

// Where the allocations of one check happen, in the table-and-wall scene: writing the state, the world
// test and the self test, called as isStateValid calls them.
void BM_AllocationSplit(benchmark::State& bench) {
  std::unique_ptr<Setup> setup = makeSetup(TABLE_AND_WALL);
  ManipulatorPlanScene& scene = *setup->scene;
  robot_model::core::RobotState& state = *scene.getRobotState();
  const auto& robot = scene.getPaddedCollisionRobot();
  collision_detection::AllowedCollisionMatrix acm;
  for (const auto& pair : scene.getRobotModel()->getSRDF()->getDisabledCollisionPairs()) {
    acm.setEntry(pair.link1_, pair.link2_, true);
  }
  collision_detection::CollisionRequest request;
  request.group_name = "arm";
  long update = 0;
  long world = 0;
  long self = 0;
  long calls = 0;
  std::size_t i = 0;
  for (auto _ : bench) {
    const double* q = setup->states[i++ % setup->states.size()].data();
    long mark = g_allocations.load();
    state.setJointGroupPositions(scene.getPlanningGroup(), q);
    state.updateCollisionBodyTransforms();
    update += g_allocations.load() - mark;
    collision_detection::CollisionResult result;
    mark = g_allocations.load();
    scene.getCollisionWorld()->checkRobotCollision(request, result, robot, state, acm);
    world += g_allocations.load() - mark;
    mark = g_allocations.load();
    robot.checkSelfCollision(request, result, state, acm);
    self += g_allocations.load() - mark;
    ++calls;
  }
  bench.counters["state_update_allocs"] = static_cast<double>(update) / calls;
  bench.counters["world_test_allocs"] = static_cast<double>(world) / calls;
  bench.counters["self_test_allocs"] = static_cast<double>(self) / calls;
}

BENCHMARK(BM_AllocationSplit)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IsStateValid, EmptyWorld, EMPTY_WORLD)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IsStateValid, EmptyOctree, EMPTY_OCTREE)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IsStateValid, TableAndWall, TABLE_AND_WALL)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IsStateValid, Grazing, GRAZING)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IsStateValid, Colliding, COLLIDING)->Unit(benchmark::kMicrosecond);

}  // namespace
