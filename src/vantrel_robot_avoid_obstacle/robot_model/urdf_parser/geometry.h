#pragma once

#include <cstdint>
#include <string>

#include "robot_model/urdf_parser/pose.h"

namespace urdf
{
class Geometry
{
public:
  enum GeometryType : std::int32_t
  {
    SPHERE = 0,
    BOX = 1,
    CYLINDER = 2,
    MESH = 3
  };

  explicit Geometry(GeometryType t) : type(t) {}
  virtual ~Geometry() = default;

  GeometryType type;
};

class Sphere : public Geometry
{
public:
  Sphere() : Geometry(SPHERE) {}
  void clear() { radius = 0.0; }

  double radius = 0.0;
};

class Box : public Geometry
{
public:
  Box() : Geometry(BOX) {}
  void clear() { dim.clear(); }

  Vector3 dim;
};

class Cylinder : public Geometry
{
public:
  Cylinder() : Geometry(CYLINDER) {}
  void clear() { length = radius = 0.0; }

  double length = 0.0;
  double radius = 0.0;
};

class Mesh : public Geometry
{
public:
  Mesh() : Geometry(MESH) {}
  void clear()
  {
    filename.clear();
    scale = Vector3(1.0, 1.0, 1.0);
  }

  std::string filename;
  Vector3 scale{1.0, 1.0, 1.0};
};
}  // namespace urdf
