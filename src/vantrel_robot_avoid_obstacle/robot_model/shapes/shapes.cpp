#include "robot_model/shapes/shapes.h"

#include <cmath>
#include <ostream>
#include <stdexcept>

#include <console_bridge/console.h>

namespace shapes
{
const std::string Sphere::TYPE_NAME = "sphere";
const std::string Cylinder::TYPE_NAME = "cylinder";
const std::string Cone::TYPE_NAME = "cone";
const std::string Box::TYPE_NAME = "box";
const std::string Plane::TYPE_NAME = "plane";
const std::string Mesh::TYPE_NAME = "mesh";
const std::string OcTree::TYPE_NAME = "octree";

namespace
{
constexpr const char* kLogSource = "shapes/shapes";
constexpr int kOcTreeScaleLine = 316;

struct DimensionMessages
{
  const char* negative;
  const char* non_finite;
};

constexpr DimensionMessages kSphereMessages{ "Sphere radius must be non-negative.", "Sphere radius must be finite." };
constexpr DimensionMessages kCylinderMessages{ "Cylinder dimensions must be non-negative.",
                                               "Cylinder dimensions must be finite." };
constexpr DimensionMessages kConeMessages{ "Cone dimensions must be non-negative.", "Cone dimensions must be finite." };
constexpr DimensionMessages kBoxMessages{ "Box dimensions must be non-negative.", "Box dimensions must be finite." };

// Every value must be a finite, non-negative size; checked before anything is stored.
template <typename... Values>
void checkDimensions(const DimensionMessages& messages, Values... values)
{
  for (double value : { values... })
  {
    if (!std::isfinite(value))
      throw std::runtime_error(messages.non_finite);
    if (value < 0.0)
      throw std::runtime_error(messages.negative);
  }
}

// Cylinders and cones: the padding widens the radius and lengthens both ends.
void scaleAndPadAxial(const DimensionMessages& messages, double& length, double& radius, double scale, double padding)
{
  const double new_radius = radius * scale + padding;
  const double new_length = length * scale + 2.0 * padding;
  checkDimensions(messages, new_radius, new_length);
  radius = new_radius;
  length = new_length;
}
}  // namespace

void Shape::print(std::ostream& out) const
{
  out << this << std::endl;
}

bool Shape::isFixed() const
{
  return false;
}

Sphere::Sphere(double r) : radius(r)
{
  type = SPHERE;
  checkDimensions(kSphereMessages, r);
}

Sphere* Sphere::clone() const
{
  return new Sphere(radius);
}

void Sphere::print(std::ostream& out) const
{
  out << "Sphere[radius=" << radius << "]" << std::endl;
}

void Sphere::scaleAndPad(double scale, double padding)
{
  const double new_radius = radius * scale + padding;
  checkDimensions(kSphereMessages, new_radius);
  radius = new_radius;
}

Cylinder::Cylinder(double l, double r) : length(l), radius(r)
{
  type = CYLINDER;
  checkDimensions(kCylinderMessages, l, r);
}

Cylinder* Cylinder::clone() const
{
  return new Cylinder(length, radius);
}

void Cylinder::print(std::ostream& out) const
{
  out << "Cylinder[radius=" << radius << ", length=" << length << "]" << std::endl;
}

void Cylinder::scaleAndPad(double scale, double padding)
{
  scaleAndPadAxial(kCylinderMessages, length, radius, scale, padding);
}

Cone::Cone(double l, double r) : length(l), radius(r)
{
  type = CONE;
  checkDimensions(kConeMessages, l, r);
}

Cone* Cone::clone() const
{
  return new Cone(length, radius);
}

void Cone::print(std::ostream& out) const
{
  out << "Cone[radius=" << radius << ", length=" << length << "]" << std::endl;
}

void Cone::scaleAndPad(double scale, double padding)
{
  scaleAndPadAxial(kConeMessages, length, radius, scale, padding);
}

Box::Box(double x, double y, double z) : size{ x, y, z }
{
  type = BOX;
  checkDimensions(kBoxMessages, x, y, z);
}

Box* Box::clone() const
{
  return new Box(size[0], size[1], size[2]);
}

void Box::print(std::ostream& out) const
{
  out << "Box[x=length=" << size[0] << ", y=width=" << size[1] << "z=height=" << size[2] << "]" << std::endl;
}

void Box::scaleAndPad(double scale, double padding)
{
  const double x = size[0] * scale + 2.0 * padding;
  const double y = size[1] * scale + 2.0 * padding;
  const double z = size[2] * scale + 2.0 * padding;
  checkDimensions(kBoxMessages, x, y, z);
  size[0] = x;
  size[1] = y;
  size[2] = z;
}

Plane::Plane(double pa, double pb, double pc, double pd) : a(pa), b(pb), c(pc), d(pd)
{
  type = PLANE;
}

Plane* Plane::clone() const
{
  return new Plane(a, b, c, d);
}

void Plane::print(std::ostream& out) const
{
  out << "Plane[a=" << a << ", b=" << b << ", c=" << c << ", d=" << d << "]" << std::endl;
}

void Plane::scaleAndPad(double /*scale*/, double /*padding*/)
{
}

OcTree::OcTree(const std::shared_ptr<const octomap::OcTree>& t) : octree(t)
{
  type = OCTREE;
}

OcTree* OcTree::clone() const
{
  return new OcTree(octree);
}

void OcTree::print(std::ostream& out) const
{
  if (!octree)
    out << "OcTree[NULL]" << std::endl;
}

void OcTree::scaleAndPad(double /*scale*/, double /*padding*/)
{
  console_bridge::log(kLogSource, kOcTreeScaleLine, console_bridge::CONSOLE_BRIDGE_LOG_WARN,
                      "OcTrees cannot be scaled or padded");
}

bool OcTree::isFixed() const
{
  return true;
}

}  // namespace shapes
