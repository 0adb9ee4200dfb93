#include "collision_detection/collision_common.h"

#include <memory>

#include <fcl/geometry/bvh/BVH_model.h>
#include <fcl/geometry/octree/octree.h>
#include <fcl/geometry/shape/box.h>
#include <fcl/geometry/shape/sphere.h>
#include <fcl/math/bv/OBBRSS.h>
#include <fcl/narrowphase/collision.h>
#include <gtest/gtest.h>
#include <octomap/OcTree.h>

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
}  // namespace

TEST(FCLGeometry, SameLinkShapeGivesSameGeometryAndPaddingANewOne)
{
  robot_model::core::LinkModel link("link", 0);
  auto sphere = std::make_shared<const shapes::Sphere>(0.05);
  FCLGeometryConstPtr first = createCollisionGeometry(sphere, &link, 0);
  ASSERT_TRUE(first);
  EXPECT_EQ(createCollisionGeometry(sphere, &link, 0), first);
  EXPECT_EQ(createCollisionGeometry(sphere, 1.0, 0.0, &link, 0), first);
  EXPECT_EQ(first->collision_geometry_data_->type, ROBOT_LINK);
  EXPECT_EQ(first->collision_geometry_data_->getID(), "link");

  FCLGeometryConstPtr padded = createCollisionGeometry(sphere, 1.0, 0.01, &link, 0);
  ASSERT_TRUE(padded);
  EXPECT_NE(padded, first);
  EXPECT_NE(createCollisionGeometry(sphere, 1.0, 0.01, &link, 0), padded);
  EXPECT_DOUBLE_EQ(static_cast<const fcl::Sphered&>(*padded->collision_geometry_).radius, 0.06);
  EXPECT_DOUBLE_EQ(sphere->radius, 0.05);  // padding works on a clone
}

TEST(FCLGeometry, GeometryHeldOnlyByTheCacheMovesToANewOwner)
{
  robot_model::core::LinkModel link_a("a", 0);
  robot_model::core::LinkModel link_b("b", 1);
  auto box = std::make_shared<const shapes::Box>(0.1, 0.2, 0.3);
  const fcl::CollisionGeometryd* raw = createCollisionGeometry(box, &link_a, 0)->collision_geometry_.get();
  FCLGeometryConstPtr moved = createCollisionGeometry(box, &link_b, 2);
  EXPECT_EQ(moved->collision_geometry_.get(), raw);
  EXPECT_EQ(moved->collision_geometry_data_->getID(), "b");
  EXPECT_EQ(moved->collision_geometry_data_->shape_index, 2);
  EXPECT_EQ(moved->collision_geometry_->getUserData(), moved->collision_geometry_data_.get());

  // Still held by a caller: the other owner gets a geometry of its own.
  FCLGeometryConstPtr other = createCollisionGeometry(box, &link_a, 0);
  EXPECT_NE(other->collision_geometry_.get(), raw);
  EXPECT_EQ(moved->collision_geometry_data_->getID(), "b");
}

TEST(FCLGeometry, ObjectMovesBetweenWorldAndAttachedBodyWithoutRebuilding)
{
  World::Object object("grab_object");
  robot_model::core::AttachedBody body;
  body.id_ = "grab_object";
  auto box = std::make_shared<const shapes::Box>(0.1, 0.1, 0.1);
  const fcl::CollisionGeometryd* raw = createCollisionGeometry(box, &object)->collision_geometry_.get();
  FCLGeometryConstPtr attached = createCollisionGeometry(box, &body, 0);
  EXPECT_EQ(attached->collision_geometry_.get(), raw);
  EXPECT_EQ(attached->collision_geometry_data_->type, ROBOT_ATTACHED);
  attached.reset();
  FCLGeometryConstPtr released = createCollisionGeometry(box, &object);
  EXPECT_EQ(released->collision_geometry_.get(), raw);
  EXPECT_EQ(released->collision_geometry_data_->type, WORLD_OBJECT);
}

TEST(FCLGeometry, EmptyMeshGivesAnEmptyModel)
{
  robot_model::core::LinkModel link("link", 0);
  FCLGeometryConstPtr geometry = createCollisionGeometry(std::make_shared<const shapes::Mesh>(0, 0), &link, 0);
  ASSERT_TRUE(geometry);
  EXPECT_EQ(static_cast<const fcl::BVHModel<fcl::OBBRSSd>&>(*geometry->collision_geometry_).num_tris, 0);
}

TEST(FCLGeometry, MeshTrianglesAndVerticesAreCarriedOver)
{
  robot_model::core::LinkModel link("link", 0);
  auto mesh = std::make_shared<shapes::Mesh>(3, 1);
  const double vertices[9] = { 0, 0, 0, 1, 0, 0, 0, 1, 0 };
  std::copy(vertices, vertices + 9, mesh->vertices.get());
  mesh->triangles[0] = 0;
  mesh->triangles[1] = 1;
  mesh->triangles[2] = 2;
  FCLGeometryConstPtr geometry = createCollisionGeometry(mesh, &link, 0);
  const auto& model = static_cast<const fcl::BVHModel<fcl::OBBRSSd>&>(*geometry->collision_geometry_);
  EXPECT_EQ(model.num_tris, 1);
  EXPECT_EQ(model.num_vertices, 3);

  fcl::CollisionObjectd mesh_object(geometry->collision_geometry_);
  fcl::CollisionObjectd touching(std::make_shared<fcl::Sphered>(0.1), fcl::Transform3d(fcl::Translation3d(0.2, 0.2, 0.05)));
  fcl::CollisionResultd result;
  fcl::collide(&mesh_object, &touching, fcl::CollisionRequestd(), result);
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

TEST(FCLGeometry, OctreeShapeSharesTheObstacleTree)
{
  auto tree = std::make_shared<octomap::OcTree>(0.01);
  World::Object object("world_octomap");
  FCLGeometryConstPtr geometry = createCollisionGeometry(std::make_shared<const shapes::OcTree>(tree), &object);
  ASSERT_TRUE(geometry);
  const auto& fcl_tree = static_cast<const fcl::OcTreed&>(*geometry->collision_geometry_);
  EXPECT_EQ(fcl_tree.getRoot(), nullptr);
  tree->updateNode(octomap::point3d(0.1f, 0.1f, 0.1f), true);
  EXPECT_EQ(fcl_tree.getRoot(), tree->getRoot());  // the same tree, not a copy
}

TEST(FCLGeometry, CleaningTheCacheDropsReleasedShapesOnly)
{
  World::Object object("obj");
  auto kept = std::make_shared<const shapes::Sphere>(0.1);
  auto dropped = std::make_shared<const shapes::Sphere>(0.1);
  std::weak_ptr<const FCLGeometry> kept_geometry = createCollisionGeometry(kept, &object);
  std::weak_ptr<const FCLGeometry> dropped_geometry = createCollisionGeometry(dropped, &object);
  dropped.reset();
  EXPECT_FALSE(dropped_geometry.expired());  // the cache still holds it
  cleanCollisionGeometryCache();
  EXPECT_TRUE(dropped_geometry.expired());
  EXPECT_FALSE(kept_geometry.expired());
}
