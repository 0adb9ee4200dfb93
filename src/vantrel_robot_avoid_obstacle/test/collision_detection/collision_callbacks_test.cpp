#include "collision_detection/collision_common.h"

#include <memory>
#include <set>

#include <fcl/broadphase/broadphase_dynamic_AABB_tree.h>
#include <gtest/gtest.h>
#include <octomap/OcTree.h>

#include "robot_model/core/attached_body.h"
#include "robot_model/core/link_model.h"
#include "robot_model/shapes/shapes.h"

using namespace collision_detection;

namespace
{
class Callbacks : public testing::Test
{
protected:
  // A unit box of the owner, centred at (x, 0, 0); the fixture keeps it alive.
  template <typename Owner>
  fcl::CollisionObjectd* box(const Owner* owner, int shape_index, double x)
  {
    return add(createCollisionGeometry(std::make_shared<const shapes::Box>(1.0, 1.0, 1.0), owner, shape_index), x);
  }
  fcl::CollisionObjectd* box(const World::Object* object, double x)
  {
    return add(createCollisionGeometry(std::make_shared<const shapes::Box>(1.0, 1.0, 1.0), object), x);
  }
  fcl::CollisionObjectd* add(FCLGeometryConstPtr geometry, double x)
  {
    store_.collision_objects_.push_back(std::make_shared<fcl::CollisionObjectd>(
        geometry->collision_geometry_, fcl::Transform3d(fcl::Translation3d(x, 0.0, 0.0))));
    store_.collision_geometry_.push_back(geometry);
    return store_.collision_objects_.back().get();
  }

  bool collides(fcl::CollisionObjectd* a, fcl::CollisionObjectd* b, const AllowedCollisionMatrix* acm = nullptr)
  {
    CollisionResult res;
    CollisionData data(&req_, &res, acm);
    collisionCallback(a, b, &data);
    return res.collision;
  }

  CollisionRequest req_;
  FCLObject store_;
  robot_model::core::LinkModel link1_{ "link1", 0 };
  robot_model::core::LinkModel link2_{ "link2", 1 };
  World::Object obstacle_{ "obstacle" };
  World::Object other_obstacle_{ "other" };
};
}  // namespace

TEST_F(Callbacks, OverlappingBodiesOfDifferentOwnersCollide)
{
  EXPECT_TRUE(collides(box(&link1_, 0, 0.0), box(&obstacle_, 0.5)));
  EXPECT_FALSE(collides(box(&link1_, 0, 0.0), box(&obstacle_, 1.5)));
  EXPECT_TRUE(collides(box(&link1_, 0, 0.0), box(&link2_, 0, 0.5)));
}

TEST_F(Callbacks, TwoShapesOfOneLinkNeverCollide)
{
  EXPECT_FALSE(collides(box(&link1_, 0, 0.0), box(&link1_, 1, 0.0)));
}

TEST_F(Callbacks, TouchLinksAndBodiesOnOneLinkAreSkipped)
{
  robot_model::core::AttachedBody held;
  held.id_ = "held";
  held.parent_link_ = &link1_;
  held.touch_links_ = { "link2" };
  robot_model::core::AttachedBody second;
  second.id_ = "second";
  second.parent_link_ = &link1_;
  robot_model::core::AttachedBody elsewhere;
  elsewhere.id_ = "elsewhere";
  elsewhere.parent_link_ = &link2_;

  fcl::CollisionObjectd* held_box = box(&held, 0, 0.0);
  EXPECT_FALSE(collides(held_box, box(&link2_, 0, 0.0)));
  EXPECT_FALSE(collides(box(&link2_, 0, 0.0), held_box));
  EXPECT_TRUE(collides(held_box, box(&link1_, 0, 0.0)));  // not a touch link
  EXPECT_FALSE(collides(held_box, box(&second, 0, 0.0)));
  EXPECT_TRUE(collides(held_box, box(&elsewhere, 0, 0.0)));
}

TEST_F(Callbacks, MatrixAllowedPairsAreSkippedAndUnknownPairsTested)
{
  AllowedCollisionMatrix acm;
  acm.setEntry("link1", "obstacle", true);
  acm.setEntry("link2", "obstacle", false);
  EXPECT_FALSE(collides(box(&link1_, 0, 0.0), box(&obstacle_, 0.0), &acm));
  EXPECT_TRUE(collides(box(&link2_, 0, 0.0), box(&obstacle_, 0.0), &acm));
  EXPECT_TRUE(collides(box(&link1_, 0, 0.0), box(&link2_, 0, 0.0), &acm));

  // A conditional pair is left to its decide function: no geometric test here.
  acm.setEntry("link1", "link2", DecideContactFn([](Contact&) { return false; }));
  EXPECT_FALSE(collides(box(&link1_, 0, 0.0), box(&link2_, 0, 0.0), &acm));
}

TEST_F(Callbacks, ActiveComponentsRestrictThePairsTested)
{
  const std::set<const robot_model::core::LinkModel*> active = { &link1_ };
  auto collidesActive = [&](fcl::CollisionObjectd* a, fcl::CollisionObjectd* b) {
    CollisionResult res;
    CollisionData data(&req_, &res, nullptr);
    data.active_components_only_ = &active;
    collisionCallback(a, b, &data);
    return res.collision;
  };
  EXPECT_TRUE(collidesActive(box(&link1_, 0, 0.0), box(&obstacle_, 0.0)));
  EXPECT_TRUE(collidesActive(box(&link2_, 0, 0.0), box(&link1_, 0, 0.0)));
  EXPECT_FALSE(collidesActive(box(&link2_, 0, 0.0), box(&obstacle_, 0.0)));
  EXPECT_FALSE(collidesActive(box(&obstacle_, 0.0), box(&other_obstacle_, 0.0)));
}

TEST_F(Callbacks, StopsAtTheFirstCollisionOnlyWithoutContactsAndCost)
{
  fcl::CollisionObjectd* a = box(&link1_, 0, 0.0);
  fcl::CollisionObjectd* b = box(&obstacle_, 0.0);
  fcl::CollisionObjectd* far = box(&other_obstacle_, 5.0);
  {
    CollisionResult res;
    CollisionData data(&req_, &res, nullptr);
    EXPECT_FALSE(collisionCallback(a, far, &data));
    EXPECT_TRUE(collisionCallback(a, b, &data));
    EXPECT_TRUE(data.done_);
    EXPECT_TRUE(collisionCallback(a, far, &data));
  }
  for (bool contacts : { true, false })
  {
    CollisionRequest req;
    req.contacts = contacts;
    req.cost = !contacts;
    CollisionResult res;
    CollisionData data(&req, &res, nullptr);
    EXPECT_FALSE(collisionCallback(a, b, &data));
    EXPECT_TRUE(res.collision);
    EXPECT_FALSE(data.done_);
    EXPECT_EQ(res.contact_count, 0u);
  }
}

TEST_F(Callbacks, BroadPhasePassStopsAfterTheFirstCollision)
{
  fcl::DynamicAABBTreeCollisionManagerd manager;
  for (int i = 0; i < 6; ++i)
    manager.registerObject(box(&obstacle_, 0.1 * i));
  int calls = 0;
  struct Counting
  {
    CollisionData data;
    int* calls;
  } counting{ CollisionData(&req_, nullptr, nullptr), &calls };
  CollisionResult res;
  counting.data.res_ = &res;
  fcl::CollisionObjectd* link = box(&link1_, 0, 0.0);
  manager.collide(link, &counting, [](fcl::CollisionObjectd* o1, fcl::CollisionObjectd* o2, void* d) {
    auto* c = static_cast<Counting*>(d);
    ++*c->calls;
    return collisionCallback(o1, o2, &c->data);
  });
  EXPECT_TRUE(res.collision);
  EXPECT_EQ(calls, 1);
}

TEST_F(Callbacks, OctreeWithoutNodesCollidesWithNothing)
{
  auto tree = std::make_shared<octomap::OcTree>(0.01);
  World::Object map("world_octomap");
  fcl::CollisionObjectd* octree = add(createCollisionGeometry(std::make_shared<const shapes::OcTree>(tree), &map), 0.0);
  fcl::CollisionObjectd* link = box(&link1_, 0, 0.0);
  EXPECT_FALSE(collides(link, octree));
  EXPECT_FALSE(collides(octree, link));

  tree->updateNode(octomap::point3d(0.2f, 0.1f, 0.0f), true);
  EXPECT_TRUE(collides(link, octree));
  tree->clear();
  EXPECT_FALSE(collides(link, octree));
}

TEST_F(Callbacks, MeshWithoutTrianglesCollidesWithNothing)
{
  fcl::CollisionObjectd* mesh = add(createCollisionGeometry(std::make_shared<const shapes::Mesh>(0, 0), &link1_, 0), 0.0);
  fcl::CollisionObjectd* obstacle = box(&obstacle_, 0.0);
  EXPECT_FALSE(collides(mesh, obstacle));
  EXPECT_FALSE(collides(obstacle, mesh));
  DistanceRequest req;
  DistanceResult res;
  DistanceData data(&req, &res);
  double unused = 0.0;
  EXPECT_FALSE(distanceCallback(mesh, obstacle, &data, unused));
  EXPECT_FALSE(res.collision);
}

TEST_F(Callbacks, DistanceSingleKeepsTheSmallestRecordPerPair)
{
  fcl::CollisionObjectd* link = box(&link1_, 0, 0.0);
  DistanceRequest req;
  req.type = SINGLE;
  DistanceResult res;
  DistanceData data(&req, &res);
  double unused = 0.0;
  EXPECT_FALSE(distanceCallback(link, box(&obstacle_, 3.0), &data, unused));
  EXPECT_FALSE(distanceCallback(link, box(&obstacle_, 2.0), &data, unused));
  EXPECT_FALSE(distanceCallback(link, box(&obstacle_, 4.0), &data, unused));
  ASSERT_EQ(res.distances.size(), 1u);
  const auto& records = res.distances.at({ "link1", "obstacle" });
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NEAR(records[0].distance, 1.0, 1e-6);
  EXPECT_NEAR(res.minimum_distance.distance, 1.0, 1e-6);
  EXPECT_EQ(res.minimum_distance.link_names[0], "link1");
  EXPECT_FALSE(res.collision);

  EXPECT_TRUE(distanceCallback(link, box(&obstacle_, 0.5), &data, unused));
  EXPECT_TRUE(res.collision);
  EXPECT_LE(res.minimum_distance.distance, 0.0);
}

TEST_F(Callbacks, DistanceSkipsAllowedPairsAndMeasuresOthersWithNearestPoints)
{
  AllowedCollisionMatrix acm;
  acm.setEntry("link1", "obstacle", true);
  DistanceRequest req;
  req.acm = &acm;
  req.enable_nearest_points = true;
  DistanceResult res;
  DistanceData data(&req, &res);
  double unused = 0.0;
  fcl::CollisionObjectd* link = box(&link1_, 0, 0.0);
  distanceCallback(link, box(&obstacle_, 2.0), &data, unused);
  EXPECT_EQ(res.minimum_distance.distance, std::numeric_limits<double>::max());
  distanceCallback(link, box(&link2_, 0, 2.5), &data, unused);
  EXPECT_NEAR(res.minimum_distance.distance, 1.5, 1e-6);
  EXPECT_NEAR(res.minimum_distance.normal.x(), 1.0, 1e-6);
  EXPECT_TRUE(res.distances.empty());  // GLOBAL keeps only the minimum
}
