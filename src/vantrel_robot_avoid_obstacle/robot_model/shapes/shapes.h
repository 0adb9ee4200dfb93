#pragma once

// Geometric primitives shared by the robot model, attached bodies and the collision world.
// Shapes are shared as pointers to const; a changed shape is always a fresh clone.

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

namespace octomap
{
class OcTree;
}

namespace shapes
{
enum ShapeType
{
  UNKNOWN_SHAPE = 0,
  SPHERE = 1,
  CYLINDER = 2,
  CONE = 3,
  BOX = 4,
  PLANE = 5,
  MESH = 6,
  OCTREE = 7
};

class Shape
{
public:
  Shape() = default;
  virtual ~Shape() = default;

  // A newly allocated shape of the same kind and values; the caller owns it.
  virtual Shape* clone() const = 0;
  virtual void print(std::ostream& out) const;
  // Scales, then pads, in place.
  virtual void scaleAndPad(double scale, double padding) = 0;
  virtual bool isFixed() const;

  ShapeType type = UNKNOWN_SHAPE;

protected:
  Shape(const Shape&) = default;
  Shape& operator=(const Shape&) = default;
};

using ShapePtr = std::shared_ptr<Shape>;
using ShapeConstPtr = std::shared_ptr<const Shape>;

class Sphere : public Shape
{
public:
  static const std::string TYPE_NAME;

  // Throws std::runtime_error for a negative or non-finite radius.
  explicit Sphere(double r);

  Sphere* clone() const override;
  void print(std::ostream& out) const override;
  void scaleAndPad(double scale, double padding) override;

  double radius;
};

class Cylinder : public Shape
{
public:
  static const std::string TYPE_NAME;

  // length along z; throws std::runtime_error for a negative or non-finite dimension.
  Cylinder(double l, double r);

  Cylinder* clone() const override;
  void print(std::ostream& out) const override;
  void scaleAndPad(double scale, double padding) override;

  double length;
  double radius;
};

class Cone : public Shape
{
public:
  static const std::string TYPE_NAME;

  // length along z; throws std::runtime_error for a negative or non-finite dimension.
  Cone(double l, double r);

  Cone* clone() const override;
  void print(std::ostream& out) const override;
  void scaleAndPad(double scale, double padding) override;

  double length;
  double radius;
};

class Box : public Shape
{
public:
  static const std::string TYPE_NAME;

  // Side lengths along x, y, z; throws std::runtime_error for a negative or non-finite side.
  Box(double x, double y, double z);

  Box* clone() const override;
  void print(std::ostream& out) const override;
  void scaleAndPad(double scale, double padding) override;

  double size[3];
};

// The points p with (a, b, c) . p = d.
class Plane : public Shape
{
public:
  static const std::string TYPE_NAME;

  Plane(double pa, double pb, double pc, double pd);

  Plane* clone() const override;
  void print(std::ostream& out) const override;
  // A plane has no size: nothing changes.
  void scaleAndPad(double scale, double padding) override;

  double a;
  double b;
  double c;
  double d;
};

class Mesh : public Shape
{
public:
  static const std::string TYPE_NAME;

  // Allocates all four arrays for the given counts; the caller fills vertices and triangles.
  Mesh(std::uint32_t v_count, std::uint32_t t_count);

  Mesh* clone() const override;
  void print(std::ostream& out) const override;
  // Moves every vertex along its ray from the centroid; normals are kept as they are.
  // Throws std::runtime_error for a non-finite scale or padding.
  void scaleAndPad(double scale, double padding) override;

  void computeTriangleNormals();
  // Needs the triangle normals.
  void computeVertexNormals();

  std::uint32_t vertex_count;
  std::unique_ptr<double[]> vertices;  // x, y, z per vertex
  std::uint32_t triangle_count;
  std::unique_ptr<std::uint32_t[]> triangles;  // three vertex indices per triangle
  std::unique_ptr<double[]> triangle_normals;  // may be null
  std::unique_ptr<double[]> vertex_normals;    // may be null
};

class OcTree : public Shape
{
public:
  static const std::string TYPE_NAME;

  explicit OcTree(const std::shared_ptr<const octomap::OcTree>& t);

  // Shares the tree; the tree itself is not copied.
  OcTree* clone() const override;
  void print(std::ostream& out) const override;
  // An octree keeps its cells: logs a warning and changes nothing.
  void scaleAndPad(double scale, double padding) override;
  bool isFixed() const override;

  std::shared_ptr<const octomap::OcTree> octree;
};

}  // namespace shapes
