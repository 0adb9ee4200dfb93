#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <octomap/OcTree.h>

#include "robot_model/shapes/shapes.h"
#include "test/support/console_capture.h"

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

template <typename Call>
std::string thrownMessage(Call call)
{
  try
  {
    call();
  }
  catch (const std::runtime_error& e)
  {
    return e.what();
  }
  return "(nothing thrown)";
}

std::string printed(const shapes::Shape& shape)
{
  std::ostringstream out;
  shape.print(out);
  return out.str();
}

// A regular tetrahedron around the origin, triangles wound outward.
std::unique_ptr<shapes::Mesh> tetrahedron()
{
  auto mesh = std::make_unique<shapes::Mesh>(4, 4);
  const double v[12] = { 1, 1, 1, 1, -1, -1, -1, 1, -1, -1, -1, 1 };
  const std::uint32_t t[12] = { 0, 1, 2, 0, 3, 1, 0, 2, 3, 1, 3, 2 };
  std::copy(v, v + 12, mesh->vertices.get());
  std::copy(t, t + 12, mesh->triangles.get());
  return mesh;
}
}  // namespace

TEST(ShapeConstruction, KindsAndTypeNames)
{
  EXPECT_EQ(shapes::Sphere(1).type, shapes::SPHERE);
  EXPECT_EQ(shapes::Cylinder(1, 1).type, shapes::CYLINDER);
  EXPECT_EQ(shapes::Cone(1, 1).type, shapes::CONE);
  EXPECT_EQ(shapes::Box(1, 1, 1).type, shapes::BOX);
  EXPECT_EQ(shapes::Plane(0, 0, 1, 0).type, shapes::PLANE);
  EXPECT_EQ(shapes::Mesh(0, 0).type, shapes::MESH);
  EXPECT_EQ(shapes::OcTree(nullptr).type, shapes::OCTREE);
  EXPECT_EQ(static_cast<int>(shapes::OCTREE), 7);
  EXPECT_EQ(shapes::Sphere::TYPE_NAME, "sphere");
  EXPECT_EQ(shapes::Cylinder::TYPE_NAME, "cylinder");
  EXPECT_EQ(shapes::Cone::TYPE_NAME, "cone");
  EXPECT_EQ(shapes::Box::TYPE_NAME, "box");
  EXPECT_EQ(shapes::Plane::TYPE_NAME, "plane");
  EXPECT_EQ(shapes::Mesh::TYPE_NAME, "mesh");
  EXPECT_EQ(shapes::OcTree::TYPE_NAME, "octree");
}

TEST(ShapeConstruction, ZeroSizesAreValidNegativeAndNonFiniteAreRejected)
{
  EXPECT_NO_THROW(shapes::Box(0, 0, 0));
  EXPECT_NO_THROW(shapes::Sphere(0));
  EXPECT_EQ(thrownMessage([] { (void)shapes::Box(0.1, -0.001, 0.1); }), "Box dimensions must be non-negative.");
  EXPECT_EQ(thrownMessage([] { (void)shapes::Sphere(-1); }), "Sphere radius must be non-negative.");
  EXPECT_EQ(thrownMessage([] { (void)shapes::Cylinder(-1, 1); }), "Cylinder dimensions must be non-negative.");
  EXPECT_EQ(thrownMessage([] { (void)shapes::Cylinder(1, -1); }), "Cylinder dimensions must be non-negative.");
  EXPECT_EQ(thrownMessage([] { (void)shapes::Cone(1, -1); }), "Cone dimensions must be non-negative.");
  EXPECT_EQ(thrownMessage([] { (void)shapes::Box(kNaN, 1, 1); }), "Box dimensions must be finite.");
  EXPECT_EQ(thrownMessage([] { (void)shapes::Box(1, 1, kInf); }), "Box dimensions must be finite.");
  EXPECT_EQ(thrownMessage([] { (void)shapes::Sphere(kNaN); }), "Sphere radius must be finite.");
  EXPECT_EQ(thrownMessage([] { (void)shapes::Cylinder(1, -kInf); }), "Cylinder dimensions must be finite.");
}

TEST(ShapeScaleAndPad, PaddingAndScalingPerShape)
{
  shapes::Sphere sphere(0.05);
  sphere.scaleAndPad(1.0, 0.01);
  EXPECT_DOUBLE_EQ(sphere.radius, 0.06);

  shapes::Cylinder cylinder(0.2, 0.05);
  cylinder.scaleAndPad(1.0, 0.01);
  EXPECT_DOUBLE_EQ(cylinder.radius, 0.06);
  EXPECT_DOUBLE_EQ(cylinder.length, 0.22);

  shapes::Box box(0.1, 0.2, 0.3);
  box.scaleAndPad(1.0, 0.01);
  EXPECT_DOUBLE_EQ(box.size[0], 0.12);
  EXPECT_DOUBLE_EQ(box.size[1], 0.22);
  EXPECT_DOUBLE_EQ(box.size[2], 0.32);

  // Scale first, then pad.
  shapes::Box scaled(0.1, 0.2, 0.3);
  scaled.scaleAndPad(2.0, 0.01);
  EXPECT_DOUBLE_EQ(scaled.size[0], 0.22);
  EXPECT_DOUBLE_EQ(scaled.size[2], 0.62);
  shapes::Cone cone(0.2, 0.05);
  cone.scaleAndPad(0.5, 0.0);
  EXPECT_DOUBLE_EQ(cone.radius, 0.025);
  EXPECT_DOUBLE_EQ(cone.length, 0.1);

  // A negative padding that keeps every size non-negative shrinks the shape.
  shapes::Sphere shrunk(0.05);
  shrunk.scaleAndPad(1.0, -0.01);
  EXPECT_DOUBLE_EQ(shrunk.radius, 0.04);
}

TEST(ShapeScaleAndPad, RejectedChangeLeavesTheShapeUnchanged)
{
  shapes::Sphere sphere(0.05);
  EXPECT_EQ(thrownMessage([&] { sphere.scaleAndPad(1.0, -0.1); }), "Sphere radius must be non-negative.");
  EXPECT_EQ(sphere.radius, 0.05);

  // The length would stay positive, the radius not: nothing is stored.
  shapes::Cylinder cylinder(1.0, 0.05);
  EXPECT_EQ(thrownMessage([&] { cylinder.scaleAndPad(1.0, -0.06); }), "Cylinder dimensions must be non-negative.");
  EXPECT_EQ(cylinder.length, 1.0);
  EXPECT_EQ(cylinder.radius, 0.05);

  // Only the last side would turn negative.
  shapes::Box box(1.0, 1.0, 0.1);
  EXPECT_EQ(thrownMessage([&] { box.scaleAndPad(1.0, -0.06); }), "Box dimensions must be non-negative.");
  EXPECT_EQ(box.size[0], 1.0);
  EXPECT_EQ(box.size[2], 0.1);

  EXPECT_EQ(thrownMessage([&] { box.scaleAndPad(1.0, kNaN); }), "Box dimensions must be finite.");
  EXPECT_EQ(thrownMessage([&] { sphere.scaleAndPad(kInf, 0.0); }), "Sphere radius must be finite.");
  // A zero size times an infinite scale is not a number either.
  shapes::Box flat(0.0, 1.0, 1.0);
  EXPECT_EQ(thrownMessage([&] { flat.scaleAndPad(kInf, 0.0); }), "Box dimensions must be finite.");
  EXPECT_EQ(box.size[1], 1.0);
  EXPECT_EQ(sphere.radius, 0.05);
  EXPECT_EQ(flat.size[0], 0.0);
}

TEST(ShapePrint, TextsOfEveryKind)
{
  EXPECT_EQ(printed(shapes::Sphere(0.5)), "Sphere[radius=0.5]\n");
  EXPECT_EQ(printed(shapes::Cylinder(0.2, 0.05)), "Cylinder[radius=0.05, length=0.2]\n");
  EXPECT_EQ(printed(shapes::Box(1, 2, 3)), "Box[x=length=1, y=width=2z=height=3]\n");
  EXPECT_EQ(printed(shapes::Mesh(4, 2)), "Mesh[vertices=4, triangles=2]\n");
  EXPECT_EQ(printed(shapes::OcTree(nullptr)), "OcTree[NULL]\n");
  EXPECT_EQ(printed(shapes::OcTree(std::make_shared<octomap::OcTree>(0.1))), "");
}

TEST(ShapeClone, PrimitivesCopyTheirValues)
{
  const shapes::Box box(1, 2, 3);
  const std::unique_ptr<shapes::Box> copy(box.clone());
  copy->scaleAndPad(2.0, 0.0);
  EXPECT_EQ(copy->size[1], 4.0);
  EXPECT_EQ(box.size[1], 2.0);
  const std::unique_ptr<shapes::Shape> plane(shapes::Plane(0, 0, 1, 0.5).clone());
  EXPECT_EQ(printed(*plane), "Plane[a=0, b=0, c=1, d=0.5]\n");
}

TEST(OcTreeShape, CloneKeepsTheTreeAliveAndScalingIsRefused)
{
  auto tree = std::make_shared<octomap::OcTree>(0.05);
  tree->updateNode(octomap::point3d(0.1f, 0.2f, 0.3f), true);
  const std::weak_ptr<octomap::OcTree> watch = tree;

  auto original = std::make_unique<shapes::OcTree>(tree);
  tree.reset();
  const std::unique_ptr<shapes::OcTree> copy(original->clone());
  original.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(copy->octree.get(), watch.lock().get());
  EXPECT_EQ(copy->octree->size(), watch.lock()->size());
  EXPECT_TRUE(copy->isFixed());
  EXPECT_FALSE(shapes::Sphere(1).isFixed());

  ConsoleCapture capture;
  copy->scaleAndPad(2.0, 0.1);
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].level, console_bridge::CONSOLE_BRIDGE_LOG_WARN);
  EXPECT_EQ(capture.messages()[0].source, "shapes/shapes");
  EXPECT_EQ(capture.messages()[0].text, "OcTrees cannot be scaled or padded");
  EXPECT_EQ(copy->octree.get(), watch.lock().get());
}

TEST(MeshShape, CloneIsDeepAndKeepsMissingNormalsMissing)
{
  auto mesh = tetrahedron();
  mesh->computeTriangleNormals();
  mesh->vertex_normals.reset();
  const std::unique_ptr<shapes::Mesh> copy(mesh->clone());
  ASSERT_EQ(copy->vertex_count, 4u);
  ASSERT_EQ(copy->triangle_count, 4u);
  EXPECT_EQ(copy->vertex_normals, nullptr);
  ASSERT_NE(copy->triangle_normals, nullptr);
  EXPECT_EQ(copy->triangle_normals[0], mesh->triangle_normals[0]);
  EXPECT_EQ(copy->triangles[4], 3u);
  copy->vertices[0] = 9.0;
  EXPECT_EQ(mesh->vertices[0], 1.0);
}

TEST(MeshShape, ScaleAndPadMovesVerticesAlongTheirRaysFromTheCentroid)
{
  auto mesh = tetrahedron();
  for (std::uint32_t i = 0; i < 12; ++i)
    mesh->vertices[i] += 5.0;  // centroid (5, 5, 5), every vertex sqrt(3) away
  mesh->scaleAndPad(2.0, std::sqrt(3.0));
  // New distance: 2 sqrt(3) + sqrt(3), along the same ray.
  EXPECT_NEAR(mesh->vertices[0], 5.0 + 3.0, 1e-12);
  EXPECT_NEAR(mesh->vertices[4], 5.0 - 3.0, 1e-12);
  EXPECT_NEAR(mesh->vertices[11], 5.0 + 3.0, 1e-12);
}

TEST(MeshShape, VertexAtTheCentroidIsPushedOutOnEveryAxis)
{
  // Two vertices symmetric about the third, which is the centroid; one of its offsets is exactly zero.
  shapes::Mesh mesh(3, 0);
  const double v[9] = { 1, 2, 3, 1, 2, 3 + 1e-7, 1, 2, 3 - 1e-7 };
  std::copy(v, v + 9, mesh.vertices.get());
  mesh.scaleAndPad(1.0, 0.01);
  // d of vertex 0 is (0, 0, ~0): a zero component moves by -padding.
  EXPECT_NEAR(mesh.vertices[0], 1 - 0.01, 1e-12);
  EXPECT_NEAR(mesh.vertices[1], 2 - 0.01, 1e-12);
  // Vertex 1 lies 1e-7 above the centroid: closer than 1e-6, so it is pushed by +padding on z.
  EXPECT_NEAR(mesh.vertices[5], 3 + 1e-7 + 0.01, 1e-12);
  EXPECT_NEAR(mesh.vertices[8], 3 - 1e-7 - 0.01, 1e-12);
}

TEST(MeshShape, EmptyMeshIsUnchangedAndNonFiniteChangesAreRejected)
{
  shapes::Mesh empty(0, 0);
  EXPECT_NO_THROW(empty.scaleAndPad(2.0, 0.1));
  auto mesh = tetrahedron();
  EXPECT_EQ(thrownMessage([&] { mesh->scaleAndPad(kNaN, 0.0); }), "Mesh scale and padding must be finite.");
  EXPECT_EQ(thrownMessage([&] { mesh->scaleAndPad(1.0, kInf); }), "Mesh scale and padding must be finite.");
  EXPECT_EQ(mesh->vertices[0], 1.0);
}

TEST(MeshShape, NormalsPointOutwardAndDegenerateTrianglesGiveZero)
{
  auto mesh = tetrahedron();
  mesh->computeTriangleNormals();
  mesh->computeVertexNormals();
  for (std::uint32_t t = 0; t < 4; ++t)
  {
    const double* n = &mesh->triangle_normals[3 * t];
    EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-12);
    // Outward: the normal points away from the centroid (the origin), towards the face's vertices.
    const double* v = &mesh->vertices[3 * mesh->triangles[3 * t]];
    EXPECT_GT(n[0] * v[0] + n[1] * v[1] + n[2] * v[2], 0.0) << "triangle " << t;
  }
  // Each vertex normal of a regular tetrahedron points along the vertex itself.
  const double inv_sqrt3 = 1.0 / std::sqrt(3.0);
  EXPECT_NEAR(mesh->vertex_normals[0], inv_sqrt3, 1e-12);
  EXPECT_NEAR(mesh->vertex_normals[4], -inv_sqrt3, 1e-12);

  shapes::Mesh flat(3, 2);
  const double v[9] = { 0, 0, 0, 1, 0, 0, 2, 0, 0 };
  const std::uint32_t t[6] = { 0, 1, 2, 0, 1, 7 };  // collinear, then a missing vertex
  std::copy(v, v + 9, flat.vertices.get());
  std::copy(t, t + 6, flat.triangles.get());
  flat.computeTriangleNormals();
  flat.computeVertexNormals();
  for (int k = 0; k < 6; ++k)
    EXPECT_EQ(flat.triangle_normals[k], 0.0);
  for (int k = 0; k < 9; ++k)
    EXPECT_EQ(flat.vertex_normals[k], 0.0);
}
