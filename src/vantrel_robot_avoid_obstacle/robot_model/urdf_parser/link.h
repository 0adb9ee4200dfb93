#pragma once

#include <memory>
#include <string>
#include <vector>

#include "robot_model/urdf_parser/geometry.h"
#include "robot_model/urdf_parser/material.h"
#include "robot_model/urdf_parser/pose.h"

namespace urdf
{
struct Joint;

struct Inertial
{
  Pose origin;
  double mass = 0.0;
  double ixx = 0.0, ixy = 0.0, ixz = 0.0, iyy = 0.0, iyz = 0.0, izz = 0.0;

  void clear() { *this = Inertial(); }
};

struct Visual
{
  Pose origin;
  std::shared_ptr<Geometry> geometry;
  std::string material_name;
  std::shared_ptr<Material> material;
  std::string name;

  void clear() { *this = Visual(); }
};

struct Collision
{
  Pose origin;
  std::shared_ptr<Geometry> geometry;
  std::string name;

  void clear() { *this = Collision(); }
};

class Link
{
public:
  std::string name;
  std::shared_ptr<Inertial> inertial;
  // First element of visual_array, null when there is none.
  std::shared_ptr<Visual> visual;
  // First element of collision_array, null when there is none.
  std::shared_ptr<Collision> collision;
  std::vector<std::shared_ptr<Collision>> collision_array;
  std::vector<std::shared_ptr<Visual>> visual_array;
  std::shared_ptr<Joint> parent_joint;
  // Ordered by joint name; child_links[n] is the child of child_joints[n].
  std::vector<std::shared_ptr<Joint>> child_joints;
  std::vector<std::shared_ptr<Link>> child_links;

  std::shared_ptr<Link> getParent() const { return parent_link_.lock(); }
  void setParent(const std::shared_ptr<Link>& parent) { parent_link_ = parent; }

  void clear()
  {
    name.clear();
    inertial.reset();
    visual.reset();
    collision.reset();
    parent_joint.reset();
    child_joints.clear();
    child_links.clear();
    collision_array.clear();
    visual_array.clear();
  }

private:
  // Weak, so that a tree holds no ownership cycle.
  std::weak_ptr<Link> parent_link_;
};
}  // namespace urdf
