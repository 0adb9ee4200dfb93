#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include <Eigen/Core>
#include <gtest/gtest.h>
#include <octomap/OcTree.h>

#include "robot_model/shapes/shapes.h"
#include "test/support/console_capture.h"

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

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

// Negative or non-finite sizes are refused and leave the shape as it was; sizes are scaled first, then padded (a
// cylinder's length at both ends).
TEST(Shapes, ScaleThenPadAndRefuseUnusableSizes)
{
  EXPECT_NO_THROW(shapes::Box(0, 0, 0));
  EXPECT_THROW((void)shapes::Box(0.1, -0.001, 0.1), std::runtime_error);
  EXPECT_THROW((void)shapes::Box(kNaN, 1, 1), std::runtime_error);
  EXPECT_THROW((void)shapes::Sphere(kInf), std::runtime_error);
  EXPECT_THROW((void)shapes::Cylinder(1, -kInf), std::runtime_error);

  shapes::Sphere sphere(0.05);
  EXPECT_THROW(sphere.scaleAndPad(1.0, -0.1), std::runtime_error);
  EXPECT_THROW(sphere.scaleAndPad(kInf, 0.0), std::runtime_error);
  EXPECT_EQ(sphere.radius, 0.05);
  sphere.scaleAndPad(1.0, 0.01);
  EXPECT_DOUBLE_EQ(sphere.radius, 0.06);
  // The length would stay positive, the radius not: nothing is stored.
  shapes::Cylinder cylinder(0.2, 0.05);
  EXPECT_THROW(cylinder.scaleAndPad(1.0, -0.06), std::runtime_error);
  EXPECT_EQ(cylinder.length, 0.2);
  cylinder.scaleAndPad(2.0, 0.01);
  EXPECT_DOUBLE_EQ(cylinder.radius, 0.11);
  EXPECT_DOUBLE_EQ(cylinder.length, 0.42);
  // Only the last side would turn negative.
  shapes::Box box(1.0, 1.0, 0.1);
  EXPECT_THROW(box.scaleAndPad(1.0, -0.06), std::runtime_error);
  EXPECT_THROW(box.scaleAndPad(1.0, kNaN), std::runtime_error);
  EXPECT_EQ(box.size[0], 1.0);
  EXPECT_EQ(box.size[2], 0.1);
  box.scaleAndPad(2.0, 0.01);
  EXPECT_TRUE(Eigen::Map<const Eigen::Vector3d>(box.size).isApprox(Eigen::Vector3d(2.02, 2.02, 0.22), 1e-15));
}

// The exact-output check of the shapes' texts.
TEST(Shapes, PrintTexts)
{
  EXPECT_EQ(printed(shapes::Sphere(0.5)), "Sphere[radius=0.5]\n");
  EXPECT_EQ(printed(shapes::Cylinder(0.2, 0.05)), "Cylinder[radius=0.05, length=0.2]\n");
  EXPECT_EQ(printed(shapes::Box(1, 2, 3)), "Box[x=length=1, y=width=2z=height=3]\n");
  EXPECT_EQ(printed(shapes::Mesh(4, 2)), "Mesh[vertices=4, triangles=2]\n");
  EXPECT_EQ(printed(shapes::OcTree(nullptr)), "OcTree[NULL]\n");
  EXPECT_EQ(printed(shapes::OcTree(std::make_shared<octomap::OcTree>(0.1))), "");
}

TEST(Shapes, OcTreeCloneKeepsTheTreeAliveAndScalingIsRefused)
{
  auto tree = std::make_shared<octomap::OcTree>(0.05);
  const std::weak_ptr<octomap::OcTree> watch = tree;
  auto original = std::make_unique<shapes::OcTree>(tree);
  tree.reset();
  const std::unique_ptr<shapes::OcTree> copy(original->clone());
  original.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(copy->octree.get(), watch.lock().get());

  ConsoleCapture capture;
  copy->scaleAndPad(2.0, 0.1);
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].level, console_bridge::CONSOLE_BRIDGE_LOG_WARN);
}

TEST(MeshShape, ScaleAndPadMovesVerticesAlongTheirRaysFromTheCentroid)
{
  auto mesh = tetrahedron();
  for (std::uint32_t i = 0; i < 12; ++i)
    mesh->vertices[i] += 5.0;  // centroid (5, 5, 5), every vertex sqrt(3) away
  mesh->scaleAndPad(2.0, std::sqrt(3.0));  // new distance 3 sqrt(3) along the same ray
  EXPECT_NEAR(mesh->vertices[0], 5.0 + 3.0, 1e-12);
  EXPECT_NEAR(mesh->vertices[4], 5.0 - 3.0, 1e-12);
  EXPECT_THROW(mesh->scaleAndPad(kNaN, 0.0), std::runtime_error);
  EXPECT_THROW(mesh->scaleAndPad(1.0, kInf), std::runtime_error);
  EXPECT_NEAR(mesh->vertices[0], 5.0 + 3.0, 1e-12);
  EXPECT_NO_THROW(shapes::Mesh(0, 0).scaleAndPad(2.0, 0.1));

  // A vertex at the centroid moves by the padding on each axis, -padding where its offset is zero;
  // one 1e-7 above it (closer than 1e-6) moves by +padding on z.
  shapes::Mesh line(3, 0);
  const double v[9] = { 1, 2, 3, 1, 2, 3 + 1e-7, 1, 2, 3 - 1e-7 };
  std::copy(v, v + 9, line.vertices.get());
  line.scaleAndPad(1.0, 0.01);
  EXPECT_NEAR(line.vertices[0], 1 - 0.01, 1e-12);
  EXPECT_NEAR(line.vertices[5], 3 + 1e-7 + 0.01, 1e-12);
  EXPECT_NEAR(line.vertices[8], 3 - 1e-7 - 0.01, 1e-12);
}

// A clone is deep and keeps missing normals missing.
TEST(MeshShape, NormalsPointOutwardDegenerateTrianglesGiveZeroAndClonesAreDeep)
{
  auto mesh = tetrahedron();
  mesh->computeTriangleNormals();
  mesh->computeVertexNormals();
  for (std::uint32_t t = 0; t < 4; ++t)
  {
    const Eigen::Vector3d n(&mesh->triangle_normals[3 * t]);
    const Eigen::Vector3d vertex(&mesh->vertices[3 * mesh->triangles[3 * t]]);
    EXPECT_NEAR(n.norm(), 1.0, 1e-12);
    EXPECT_GT(n.dot(vertex), 0.0) << "triangle " << t;  // away from the centroid at the origin
  }
  EXPECT_NEAR(mesh->vertex_normals[0], 1.0 / std::sqrt(3.0), 1e-12);  // along the vertex itself
  mesh->vertex_normals.reset();
  const std::unique_ptr<shapes::Mesh> copy(mesh->clone());
  EXPECT_EQ(copy->vertex_normals, nullptr);
  EXPECT_NE(copy->triangle_normals.get(), mesh->triangle_normals.get());
  copy->vertices[0] = 9.0;
  EXPECT_EQ(mesh->vertices[0], 1.0);

  shapes::Mesh flat(3, 2);
  const double v[9] = { 0, 0, 0, 1, 0, 0, 2, 0, 0 };
  const std::uint32_t t[6] = { 0, 1, 2, 0, 1, 7 };  // collinear, then a missing vertex
  std::copy(v, v + 9, flat.vertices.get());
  std::copy(t, t + 6, flat.triangles.get());
  flat.computeTriangleNormals();
  flat.computeVertexNormals();
  EXPECT_EQ(Eigen::Map<const Eigen::VectorXd>(flat.triangle_normals.get(), 6).norm(), 0.0);
  EXPECT_EQ(Eigen::Map<const Eigen::VectorXd>(flat.vertex_normals.get(), 9).norm(), 0.0);
}
