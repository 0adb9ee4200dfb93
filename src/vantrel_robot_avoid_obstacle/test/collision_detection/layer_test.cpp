#include "collision_detection/collision_common.h"
#include "collision_detection/collision_robot_fcl.h"
#include "collision_detection/world.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "arm_fixtures.h"
#include "robot_model/core/link_model.h"

using namespace collision_detection;

namespace
{
const std::shared_ptr<const shapes::Shape> kNoShape;
const Eigen::Isometry3d kOrigin = Eigen::Isometry3d::Identity();

// Records "<observer><id><action>" for every notification.
World::ObserverCallbackFn recorder(std::vector<std::string>& calls, const std::string& tag)
{
  return [&calls, tag](const World::ObjectConstPtr& o, World::Action a) { calls.push_back(tag + o->id_ + std::to_string(a)); };
}

// Unit boxes of links, held bodies and world objects at the origin, kept alive by the fixture, and the
// callback's verdict on a pair of them.
class Callbacks : public testing::Test
{
protected:
  fcl::CollisionObjectd* place(FCLGeometryConstPtr geometry)
  {
    store_.collision_geometry_.push_back(geometry);
    store_.collision_objects_.push_back(std::make_shared<fcl::CollisionObjectd>(geometry->collision_geometry_));
    return store_.collision_objects_.back().get();
  }
  template <typename... Owner>
  fcl::CollisionObjectd* box(Owner... owner)
  {
    return place(createCollisionGeometry(std::make_shared<const shapes::Box>(1.0, 1.0, 1.0), owner...));
  }
  robot_model::core::AttachedBody* held(const std::string& id, const robot_model::core::LinkModel* parent)
  {
    bodies_.push_back(std::make_unique<robot_model::core::AttachedBody>());
    bodies_.back()->id_ = id;
    bodies_.back()->parent_link_ = parent;
    return bodies_.back().get();
  }
  bool collides(fcl::CollisionObjectd* a, fcl::CollisionObjectd* b)
  {
    CollisionRequest req;
    CollisionResult res;
    CollisionData data(&req, &res, nullptr);
    collisionCallback(a, b, &data);
    return res.collision;
  }

  FCLObject store_;
  std::vector<std::unique_ptr<robot_model::core::AttachedBody>> bodies_;
  robot_model::core::LinkModel link1_{ "link1", 0 };
  robot_model::core::LinkModel link2_{ "link2", 1 };
  World::Object obstacle_{ "obstacle" };
};
}  // namespace

// CREATE|ADD_SHAPE (9) for a new id, ADD_SHAPE (8) for a known one, DESTROY (2) per object in id order on
// clearing or removing one, observers called in the order they were registered; a caller's copy of an object is
// left as it was.
// A removed observer's handle matches nothing later, even an observer made in the freed place; a notification
// reaches the observers registered when it began, unless removed before their turn.
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
  world.addToObject("c", kNoShape, kOrigin);
  ASSERT_EQ(world.objects_.at("b")->shapes_.size(), 2u);
  EXPECT_EQ(held->shapes_.size(), 1u);
  EXPECT_TRUE(world.removeObject("c"));
  EXPECT_FALSE(world.removeObject("c"));
  EXPECT_EQ(world.objects_.count("c"), 0u);
  world.clearObjects();
  EXPECT_TRUE(world.objects_.empty());
  EXPECT_EQ(calls, (std::vector<std::string>{ "1b9", "2b9", "1b8", "2b8", "4b8", "1a9", "2a9", "4a9", "1c9", "2c9",
                                              "4c9", "1c2", "2c2", "4c2", "1a2", "2a2", "4a2", "1b2", "2b2", "4b2" }));
}

// A link's own shapes are never tested against each other; a held body is not tested against its touch links,
// nor against another body held by its own link. A mesh whose triangles were all dropped as degenerate collides
// with nothing.
TEST_F(Callbacks, OwnShapesTouchLinksAndBodiesOnOneLinkAreSkippedAndAnEmptyMeshIsFree)
{
  EXPECT_TRUE(collides(box(&link1_, 0), box(&link2_, 0)));
  EXPECT_FALSE(collides(box(&link1_, 0), box(&link1_, 1)));
  robot_model::core::AttachedBody* body = held("held", &link1_);
  body->touch_links_ = { "link2" };
  fcl::CollisionObjectd* held_box = box(body, 0);
  EXPECT_FALSE(collides(held_box, box(&link2_, 0)));
  EXPECT_FALSE(collides(box(&link2_, 0), held_box));
  EXPECT_TRUE(collides(held_box, box(&link1_, 0)));  // the parent is not a touch link
  EXPECT_FALSE(collides(held_box, box(held("second", &link1_), 0)));
  EXPECT_TRUE(collides(held_box, box(held("elsewhere", &link2_), 0)));
  EXPECT_TRUE(collides(held_box, box(&obstacle_)));
  const shapes::ShapeConstPtr empty_mesh = std::make_shared<const shapes::Mesh>(0, 0);
  EXPECT_FALSE(collides(place(createCollisionGeometry(empty_mesh, &link2_, 0)), box(&obstacle_)));
}

// Padding rebuilds only the link's own geometry; a bad padding or scale is refused with its message, and the
// geometry held before is kept.
TEST(CollisionRobotFCL, PaddingRebuildsOnlyItsLinkAndBadValuesAreRefused)
{
  const auto model = arm6::model();
  const CollisionRobotFCL plain(model);
  CollisionRobotFCL robot(model);
  const robot_model::core::LinkModel* gripper = model->getLinkModel("gripper_link");
  const std::size_t first = gripper->getFirstCollisionBodyIndex();
  robot.setLinkPadding("gripper_link", 0.06);
  const std::vector<FCLGeometryConstPtr> padded = robot.getCollisionGeometries();
  for (std::size_t i = 0; i < padded.size(); ++i)
    EXPECT_EQ(padded[i] != plain.getCollisionGeometries()[i], i >= first && i < first + gripper->getShapes().size())
        << "slot " << i;
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  for (const auto& [padding, scale, message] :
       { std::tuple(0.0, 0.0, "Scale must be positive"), std::tuple(-0.01, 1.0, "Padding cannot be negative"),
         std::tuple(nan, 1.0, "Padding must be finite"), std::tuple(inf, 1.0, "Padding must be finite"),
         std::tuple(0.0, nan, "Scale must be finite"), std::tuple(0.0, -1.0, "Scale must be positive") })
  {
    testing::internal::CaptureStdout();
    const CollisionRobotFCL refused(model, padding, scale);
    if (scale == 1.0)
      robot.setLinkPadding("gripper_link", padding);
    const std::string line = std::string("collision_detection---") + message;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), scale == 1.0 ? line + line : line);
    EXPECT_EQ(refused.getCollisionGeometries(), plain.getCollisionGeometries());
  }
  EXPECT_EQ(robot.getCollisionGeometries(), padded);
}
