#include "collision_detection/world.h"

#include <string>
#include <utility>
#include <vector>

#include <boost/function.hpp>
#include <gtest/gtest.h>

using collision_detection::World;

namespace
{
struct Recorder
{
  std::vector<std::pair<std::string, int>> calls;
  World::ObserverCallbackFn callback()
  {
    return [this](const World::ObjectConstPtr& object, World::Action action) {
      calls.emplace_back(object->id_, static_cast<int>(action));
    };
  }
};

const std::shared_ptr<const shapes::Shape> kNoShape;
}  // namespace

TEST(World, AddToNewThenExistingObjectNotifiesCreateThenAddShape)
{
  World world;
  Recorder recorder;
  world.addObserver(recorder.callback());
  world.addToObject("a", kNoShape, Eigen::Isometry3d::Identity());
  world.addToObject("a", kNoShape, Eigen::Isometry3d(Eigen::Translation3d(1, 2, 3)));
  ASSERT_EQ(recorder.calls.size(), 2u);
  EXPECT_EQ(recorder.calls[0], std::make_pair(std::string("a"), 9));
  EXPECT_EQ(recorder.calls[1], std::make_pair(std::string("a"), 8));
  ASSERT_EQ(world.objects_.at("a")->shapes_.size(), 2u);
  EXPECT_DOUBLE_EQ(world.objects_.at("a")->shape_poses_[1].translation().z(), 3.0);
}

TEST(World, CopyOnWriteLeavesHeldObjectUnchanged)
{
  World world;
  world.addToObject("a", kNoShape, Eigen::Isometry3d::Identity());
  World::ObjectConstPtr held = world.objects_.at("a");
  world.addToObject("a", kNoShape, Eigen::Isometry3d::Identity());
  EXPECT_EQ(held->shapes_.size(), 1u);
  EXPECT_EQ(world.objects_.at("a")->shapes_.size(), 2u);
  EXPECT_NE(held.get(), world.objects_.at("a").get());
}

TEST(World, ClearObjectsNotifiesDestroyPerObjectInIdOrderAndObserversInRegistrationOrder)
{
  World world;
  std::vector<std::string> order;
  world.addObserver([&](const World::ObjectConstPtr& o, World::Action a) { order.push_back("1" + o->id_ + std::to_string(a)); });
  world.addObserver([&](const World::ObjectConstPtr& o, World::Action a) { order.push_back("2" + o->id_ + std::to_string(a)); });
  world.clearObjects();
  EXPECT_TRUE(order.empty());
  world.addToObject("b", kNoShape, Eigen::Isometry3d::Identity());
  world.addToObject("a", kNoShape, Eigen::Isometry3d::Identity());
  order.clear();
  world.clearObjects();
  EXPECT_EQ(order, (std::vector<std::string>{ "1a2", "2a2", "1b2", "2b2" }));
  EXPECT_TRUE(world.objects_.empty());
}

TEST(World, ObserverRegistrationAndRemoval)
{
  World world;
  world.addToObject("b", kNoShape, Eigen::Isometry3d::Identity());
  world.addToObject("a", kNoShape, Eigen::Isometry3d::Identity());
  Recorder first, second;
  World::ObserverHandle h1 = world.addObserver(first.callback());
  World::ObserverHandle h2 = world.addObserver(second.callback());
  EXPECT_NE(h1, h2);
  EXPECT_TRUE(first.calls.empty());  // existing objects are not reported on registration

  world.notifyObserverAllObjects(h2, World::CREATE);
  EXPECT_TRUE(first.calls.empty());
  EXPECT_EQ(second.calls, (std::vector<std::pair<std::string, int>>{ { "a", 1 }, { "b", 1 } }));

  world.removeObserver(h1);
  world.removeObserver(h1);  // already gone: ignored
  world.notifyObserverAllObjects(h1, World::CREATE);
  world.notify(world.objects_.at("a"), World::REMOVE_SHAPE);
  EXPECT_TRUE(first.calls.empty());
  EXPECT_EQ(second.calls.back(), std::make_pair(std::string("a"), 16));
}

TEST(World, EmptyObserverThrowsAfterEarlierObserversWereCalled)
{
  World world;
  Recorder recorder;
  world.addObserver(recorder.callback());
  world.addObserver(World::ObserverCallbackFn());
  EXPECT_THROW(world.addToObject("a", kNoShape, Eigen::Isometry3d::Identity()), boost::bad_function_call);
  ASSERT_EQ(recorder.calls.size(), 1u);
  try
  {
    world.notify(world.objects_.at("a"), World::ADD_SHAPE);
    FAIL();
  }
  catch (const std::runtime_error& e)
  {
    EXPECT_STREQ(e.what(), "call to empty boost::function");
  }
}

TEST(World, ObjectDestructorPrintsItsLineOnce)
{
  testing::internal::CaptureStdout();
  {
    World world;
    world.addToObject("a", kNoShape, Eigen::Isometry3d::Identity());
    World::ObjectConstPtr held = world.objects_.at("a");
    world.clearObjects();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    testing::internal::CaptureStdout();
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "+++++++++++++++++++++++=~Object\n");
}
