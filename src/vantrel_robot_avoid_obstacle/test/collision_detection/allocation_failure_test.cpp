// An allocation failing at any point while the layer builds an FCL geometry or registers a world
// observer leaves nothing behind: what was made before the failure is released.
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>

#include <gtest/gtest.h>
#include <octomap/OcTree.h>

#include "arm_fixtures.h"
#include "collision_detection/collision_common.h"
#include "collision_detection/world.h"

namespace
{
std::atomic<long> g_live{ 0 };
// The number of allocations still allowed; negative: no limit.
std::atomic<long> g_allowed{ -1 };
}  // namespace

// g++ warns about free() on memory from operator new once it has inlined both, which is what these
// replacements do on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
  if (g_allowed.load() >= 0 && g_allowed.fetch_sub(1) == 0)
    throw std::bad_alloc();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr)
    throw std::bad_alloc();
  g_live.fetch_add(1);
  return p;
}
void operator delete(void* p) noexcept
{
  if (p == nullptr)
    return;
  g_live.fetch_sub(1);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
  operator delete(p);
}

namespace
{
// Runs the step with 0, 1, 2, ... allocations allowed until it succeeds; after each failure no
// more allocations may be live than before the attempt.
void failEachAllocationInTurn(const std::function<void()>& step)
{
  for (long allowed = 0;; ++allowed)
  {
    const long live_before = g_live.load();
    g_allowed = allowed;
    try
    {
      step();
      g_allowed = -1;
      return;
    }
    catch (const std::bad_alloc&)
    {
      g_allowed = -1;
    }
    ASSERT_LE(g_live.load(), live_before) << "left live after failing allocation " << allowed;
  }
}
}  // namespace

TEST(AllocationFailure, GeometryOfEveryShapeKindIsReleasedWhenItsConstructionFails)
{
  collision_detection::World::Object owner("obstacle");
  auto tree = std::make_shared<octomap::OcTree>(0.1);
  tree->updateNode(octomap::point3d(0.0f, 0.0f, 0.0f), true);
  const std::shared_ptr<const shapes::Shape> shapes[] = { std::make_shared<const shapes::Box>(1.0, 1.0, 1.0),
                                                          arms::oneTriangle(),
                                                          std::make_shared<const shapes::OcTree>(tree) };
  for (const auto& shape : shapes)
  {
    collision_detection::FCLGeometryConstPtr geometry;
    failEachAllocationInTurn([&] { geometry = collision_detection::createCollisionGeometry(shape, &owner); });
    EXPECT_TRUE(geometry);
  }
}

TEST(AllocationFailure, ObserverIsReleasedWhenItsRegistrationFails)
{
  collision_detection::World world;
  failEachAllocationInTurn([&] { world.addObserver([](const collision_detection::World::ObjectConstPtr&,
                                                      collision_detection::World::Action) {}); });
}
