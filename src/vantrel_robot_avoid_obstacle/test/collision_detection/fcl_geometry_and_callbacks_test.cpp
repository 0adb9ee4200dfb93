#include "collision_detection/collision_common.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

#include <fcl/geometry/shape/sphere.h>
#include <fcl/narrowphase/collision.h>
#include <gtest/gtest.h>

#include "arm_fixtures.h"
#include "robot_model/core/link_model.h"

using namespace collision_detection;

namespace
{
// A shape kind FCL has no mapping for.
class UnknownShape : public shapes::Shape
{
public:
  UnknownShape* clone() const override { return new UnknownShape(); }
  void scaleAndPad(double, double) override {}
};

class Callbacks : public testing::Test
{
protected:
  // A unit box of the owner (and shape index, for robot parts), centred at (x, 0, 0); the fixture keeps it alive.
  template <typename... Owner>
  fcl::CollisionObjectd* box(double x, Owner... owner)
  {
    return add(createCollisionGeometry(std::make_shared<const shapes::Box>(1.0, 1.0, 1.0), owner...), x);
  }
  fcl::CollisionObjectd* add(FCLGeometryConstPtr geometry, double x)
  {
    store_.collision_objects_.push_back(std::make_shared<fcl::CollisionObjectd>(
        geometry->collision_geometry_, fcl::Transform3d(fcl::Translation3d(x, 0.0, 0.0))));
    store_.collision_geometry_.push_back(geometry);
    return store_.collision_objects_.back().get();
  }

  bool collides(fcl::CollisionObjectd* a, fcl::CollisionObjectd* b, const AllowedCollisionMatrix* acm = nullptr,
                const std::set<const robot_model::core::LinkModel*>* active = nullptr)
  {
    CollisionResult res;
    CollisionData data(&req_, &res, acm);
    data.active_components_only_ = active;
    collisionCallback(a, b, &data);
    return res.collision;
  }

  robot_model::core::AttachedBody* attached(const std::string& id, const robot_model::core::LinkModel* parent)
  {
    bodies_.push_back(std::make_unique<robot_model::core::AttachedBody>());
    bodies_.back()->id_ = id;
    bodies_.back()->parent_link_ = parent;
    return bodies_.back().get();
  }

  CollisionRequest req_;
  FCLObject store_;
  std::vector<std::unique_ptr<robot_model::core::AttachedBody>> bodies_;
  robot_model::core::LinkModel link1_{ "link1", 0 };
  robot_model::core::LinkModel link2_{ "link2", 1 };
  World::Object obstacle_{ "obstacle" };
};
}  // namespace

TEST_F(Callbacks, OwnersAndTheMatrixDecideWhetherAPairIsTested)
{
  EXPECT_TRUE(collides(box(0.0, &link1_, 0), box(0.5, &obstacle_)));
  EXPECT_FALSE(collides(box(0.0, &link1_, 0), box(1.5, &obstacle_)));
  EXPECT_TRUE(collides(box(0.0, &link1_, 0), box(0.5, &link2_, 0)));
  EXPECT_FALSE(collides(box(0.0, &link1_, 0), box(0.0, &link1_, 1)));  // two shapes of one link

  robot_model::core::AttachedBody* held = attached("held", &link1_);
  held->touch_links_ = { "link2" };
  fcl::CollisionObjectd* held_box = box(0.0, held, 0);
  EXPECT_FALSE(collides(held_box, box(0.0, &link2_, 0)));
  EXPECT_FALSE(collides(box(0.0, &link2_, 0), held_box));
  EXPECT_TRUE(collides(held_box, box(0.0, &link1_, 0)));  // not a touch link
  EXPECT_FALSE(collides(held_box, box(0.0, attached("second", &link1_), 0)));
  EXPECT_TRUE(collides(held_box, box(0.0, attached("elsewhere", &link2_), 0)));

  const std::set<const robot_model::core::LinkModel*> active = { &link1_ };
  EXPECT_TRUE(collides(box(0.0, &link2_, 0), box(0.0, &link1_, 0), nullptr, &active));
  EXPECT_FALSE(collides(box(0.0, &link2_, 0), box(0.0, &obstacle_), nullptr, &active));

  // Matrix-allowed pairs are skipped, unknown pairs tested, a conditional pair left to its decide function.
  AllowedCollisionMatrix acm;
  acm.setEntry("link1", "obstacle", true);
  acm.setEntry("link2", "obstacle", false);
  EXPECT_FALSE(collides(box(0.0, &link1_, 0), box(0.0, &obstacle_), &acm));
  EXPECT_TRUE(collides(box(0.0, &link2_, 0), box(0.0, &obstacle_), &acm));
  EXPECT_TRUE(collides(box(0.0, &link1_, 0), box(0.0, &link2_, 0), &acm));
  acm.setEntry("link1", "link2", DecideContactFn([](Contact&) { return false; }));
  EXPECT_FALSE(collides(box(0.0, &link1_, 0), box(0.0, &link2_, 0), &acm));
}

// A mesh keeps its triangles; an empty one collides with nothing and has no distance to report; a shape kind
// without a mapping has no geometry.
TEST_F(Callbacks, MeshesKeepTheirTrianglesAndAnEmptyOneCollidesWithNothing)
{
  testing::internal::CaptureStdout();
  EXPECT_FALSE(createCollisionGeometry(std::make_shared<const UnknownShape>(), &link1_, 0));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("not supported"), std::string::npos);
  fcl::CollisionObjectd touching(std::make_shared<fcl::Sphered>(0.1), fcl::Transform3d(fcl::Translation3d(0.2, 0.2, 0.05)));
  fcl::CollisionResultd result;
  fcl::collide(add(createCollisionGeometry(arms::oneTriangle(), &link1_, 0), 0.0), &touching, fcl::CollisionRequestd(),
               result);
  EXPECT_TRUE(result.isCollision());
  fcl::CollisionObjectd* empty = add(createCollisionGeometry(std::make_shared<const shapes::Mesh>(0, 0), &link2_, 0), 0.0);
  EXPECT_FALSE(collides(empty, box(0.0, &obstacle_)));
  DistanceRequest req;
  DistanceResult res;
  DistanceData data(&req, &res);
  double unused = 0.0;
  EXPECT_FALSE(distanceCallback(box(0.0, &obstacle_), empty, &data, unused));
  EXPECT_FALSE(res.collision);
}
