#pragma once

#include <map>
#include <memory>
#include <string>

#include "robot_model/urdf_parser/joint.h"
#include "robot_model/urdf_parser/link.h"
#include "robot_model/urdf_parser/material.h"

namespace urdf
{
class ModelInterface
{
public:
  std::shared_ptr<Link> getLink(const std::string& name) const;
  std::shared_ptr<Joint> getJoint(const std::string& name) const;
  std::shared_ptr<Material> getMaterial(const std::string& name) const;
  std::shared_ptr<Link> getRoot() const { return root_link_; }

  void clear();

  // Links every joint's parent and child; fills parent_link_tree (child name -> parent name).
  // Throws ParseError when a joint names no link or a missing one, or the links do not form a tree.
  void initTree(std::map<std::string, std::string>& parent_link_tree);
  // Finds the single root and checks that every link hangs below it; throws ParseError.
  void initRoot(const std::map<std::string, std::string>& parent_link_tree);

  // Ordered byte-wise by name: the tree builder walks joints_ in this order.
  std::map<std::string, std::shared_ptr<Link>> links_;
  std::map<std::string, std::shared_ptr<Joint>> joints_;
  std::map<std::string, std::shared_ptr<Material>> materials_;
  std::string name_;
  std::shared_ptr<Link> root_link_;
};
}  // namespace urdf
