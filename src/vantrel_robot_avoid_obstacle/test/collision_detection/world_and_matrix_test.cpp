#include "collision_detection/allowed_collision_matrix.h"
#include "collision_detection/world.h"

#include <string>
#include <vector>

#include <boost/function.hpp>
#include <gtest/gtest.h>

using collision_detection::AllowedCollisionMatrix;
using collision_detection::World;
namespace AllowedCollision = collision_detection::AllowedCollision;

namespace
{
const std::shared_ptr<const shapes::Shape> kNoShape;
const Eigen::Isometry3d kOrigin = Eigen::Isometry3d::Identity();

// Records "<observer><id><action>" for every notification.
World::ObserverCallbackFn recorder(std::vector<std::string>& calls, const std::string& tag)
{
  return [&calls, tag](const World::ObjectConstPtr& o, World::Action a) { calls.push_back(tag + o->id_ + std::to_string(a)); };
}

// The matrix's answer for a pair: its type, or -1 when the pair is unknown.
int answer(const AllowedCollisionMatrix& acm, const std::string& a, const std::string& b)
{
  AllowedCollision::Type type = AllowedCollision::NEVER;
  return acm.getAllowedCollision(a, b, type) ? static_cast<int>(type) : -1;
}
}  // namespace

// CREATE|ADD_SHAPE (9) for a new id, ADD_SHAPE (8) for a known one, DESTROY (2) per object in id order on
// clearing, observers called in the order they were registered; a caller's copy of an object is left as it was.
// A removed observer's handle matches nothing later, even an observer made in the freed place; a notification
// reaches the observers registered when it began, unless removed before their turn. An empty observer throws
// once the ones before it were called.
TEST(World, NotifiesInOrderCopiesOnWriteAndKeepsHandlesUnique)
{
  World world;
  std::vector<std::string> calls;
  const World::ObserverHandle removed = world.addObserver(recorder(calls, "0"));
  world.removeObserver(removed);
  const World::ObserverHandle kept = world.addObserver(recorder(calls, "1"));
  EXPECT_NE(removed, kept);
  world.removeObserver(removed);
  World::ObserverHandle third, added;
  world.addObserver([&](const World::ObjectConstPtr& o, World::Action a) {
    calls.push_back("2" + o->id_ + std::to_string(a));
    world.removeObserver(third);
    if (added == World::ObserverHandle())
      added = world.addObserver(recorder(calls, "4"));
  });
  third = world.addObserver(recorder(calls, "3"));

  world.addToObject("b", kNoShape, kOrigin);
  World::ObjectConstPtr held = world.objects_.at("b");
  world.addToObject("b", kNoShape, Eigen::Isometry3d(Eigen::Translation3d(1, 2, 3)));
  world.addToObject("a", kNoShape, kOrigin);
  ASSERT_EQ(world.objects_.at("b")->shapes_.size(), 2u);
  EXPECT_DOUBLE_EQ(world.objects_.at("b")->shape_poses_[1].translation().z(), 3.0);
  EXPECT_EQ(held->shapes_.size(), 1u);
  world.clearObjects();
  EXPECT_TRUE(world.objects_.empty());
  EXPECT_EQ(calls, (std::vector<std::string>{ "1b9", "2b9", "1b8", "2b8", "4b8", "1a9", "2a9", "4a9", "1a2", "2a2",
                                              "4a2", "1b2", "2b2", "4b2" }));
  world.addObserver(World::ObserverCallbackFn());
  EXPECT_THROW(world.addToObject("c", kNoShape, kOrigin), boost::bad_function_call);
  EXPECT_EQ(calls.back(), "4c9");
}

// The node's matrix holds entries only: symmetric, the last one set wins, unknown pairs are not allowed.
TEST(AllowedCollisionMatrix, EntriesAreSymmetricAndUnknownPairsAreNotAllowed)
{
  AllowedCollisionMatrix acm;
  acm.setEntry("l1", "l2", false);
  acm.setEntry("l2", "l1", true);
  EXPECT_EQ(answer(acm, "l1", "l2"), AllowedCollision::ALWAYS);
  EXPECT_EQ(answer(acm, "l2", "l1"), AllowedCollision::ALWAYS);
  EXPECT_EQ(answer(acm, "l1", "l3"), -1);
  EXPECT_EQ(answer(acm, "l3", "l1"), -1);
}
