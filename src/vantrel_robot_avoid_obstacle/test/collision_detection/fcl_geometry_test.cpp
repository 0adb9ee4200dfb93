#include "collision_detection/collision_common.h"

#include <memory>

#include <fcl/geometry/bvh/BVH_model.h>
#include <fcl/geometry/shape/sphere.h>
#include <fcl/math/bv/OBBRSS.h>
#include <fcl/narrowphase/collision.h>
#include <gtest/gtest.h>

#include "robot_model/core/attached_body.h"
#include "robot_model/core/link_model.h"
#include "robot_model/shapes/shapes.h"

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

const fcl::BVHModel<fcl::OBBRSSd>& bvhOf(const FCLGeometryConstPtr& geometry)
{
  return static_cast<const fcl::BVHModel<fcl::OBBRSSd>&>(*geometry->collision_geometry_);
}
}  // namespace

TEST(FCLGeometry, SameLinkShapeGivesSameGeometryAndPaddingANewOne)
{
  robot_model::core::LinkModel link("link", 0);
  auto sphere = std::make_shared<const shapes::Sphere>(0.05);
  FCLGeometryConstPtr first = createCollisionGeometry(sphere, &link, 0);
  ASSERT_TRUE(first);
  EXPECT_EQ(createCollisionGeometry(sphere, &link, 0), first);
  EXPECT_EQ(createCollisionGeometry(sphere, 1.0, 0.0, &link, 0), first);

  FCLGeometryConstPtr padded = createCollisionGeometry(sphere, 1.0, 0.01, &link, 0);
  ASSERT_TRUE(padded);
  EXPECT_NE(padded, first);
  EXPECT_DOUBLE_EQ(static_cast<const fcl::Sphered&>(*padded->collision_geometry_).radius, 0.06);
  EXPECT_DOUBLE_EQ(sphere->radius, 0.05);  // padding works on a clone
}

TEST(FCLGeometry, GeometryHeldOnlyByTheCacheChangesOwnerInsteadOfBeingRebuilt)
{
  // Still held by a caller: another link gets a geometry of its own.
  robot_model::core::LinkModel link_a("a", 0);
  robot_model::core::LinkModel link_b("b", 1);
  auto box = std::make_shared<const shapes::Box>(0.1, 0.2, 0.3);
  FCLGeometryConstPtr held = createCollisionGeometry(box, &link_a, 0);
  EXPECT_NE(createCollisionGeometry(box, &link_b, 1)->collision_geometry_, held->collision_geometry_);
  EXPECT_EQ(held->collision_geometry_data_->getID(), "a");

  // A world object grasped: its released geometry moves to the attached body.
  World::Object object("grab_object");
  robot_model::core::AttachedBody body;
  body.id_ = "grab_object";
  const fcl::CollisionGeometryd* raw = createCollisionGeometry(box, &object)->collision_geometry_.get();
  FCLGeometryConstPtr attached = createCollisionGeometry(box, &body, 2);
  EXPECT_EQ(attached->collision_geometry_.get(), raw);
  EXPECT_EQ(attached->collision_geometry_data_->type, ROBOT_ATTACHED);
  EXPECT_EQ(attached->collision_geometry_data_->shape_index, 2);
  EXPECT_EQ(attached->collision_geometry_->getUserData(), attached->collision_geometry_data_.get());
}

TEST(FCLGeometry, MeshesBecomeModelsAndAnEmptyMeshAnEmptyOne)
{
  robot_model::core::LinkModel link("link", 0);
  EXPECT_EQ(bvhOf(createCollisionGeometry(std::make_shared<const shapes::Mesh>(0, 0), &link, 0)).num_tris, 0);

  auto mesh = std::make_shared<shapes::Mesh>(3, 1);
  const double vertices[9] = { 0, 0, 0, 1, 0, 0, 0, 1, 0 };
  std::copy(vertices, vertices + 9, mesh->vertices.get());
  for (std::uint32_t i = 0; i < 3; ++i)
    mesh->triangles[i] = i;
  FCLGeometryConstPtr geometry = createCollisionGeometry(mesh, &link, 0);
  EXPECT_EQ(bvhOf(geometry).num_tris, 1);
  EXPECT_EQ(bvhOf(geometry).num_vertices, 3);
  fcl::CollisionObjectd triangle(geometry->collision_geometry_);
  fcl::CollisionObjectd touching(std::make_shared<fcl::Sphered>(0.1), fcl::Transform3d(fcl::Translation3d(0.2, 0.2, 0.05)));
  fcl::CollisionResultd result;
  fcl::collide(&triangle, &touching, fcl::CollisionRequestd(), result);
  EXPECT_TRUE(result.isCollision());
}

TEST(FCLGeometry, UnsupportedShapeGivesNullAndAMessage)
{
  robot_model::core::LinkModel link("link", 0);
  testing::internal::CaptureStdout();
  FCLGeometryConstPtr geometry = createCollisionGeometry(std::make_shared<const UnknownShape>(), &link, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "collision_common[887]:This shape type (0) is not supported using FCL yet");
  EXPECT_FALSE(geometry);
}
