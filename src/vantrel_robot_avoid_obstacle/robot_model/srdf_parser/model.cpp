#include "robot_model/srdf_parser/model.h"

#include <tinyxml2.h>

#include "robot_model/shapes/regular_file.h"
#include "robot_model/srdf_parser/text.h"

namespace srdf
{
bool Model::initFile(const urdf::ModelInterface& urdf_model, const std::string& filename)
{
  const regular_file::FileText file = regular_file::read(filename);
  if (file.open_error != 0)
  {
    console_bridge::log(kSource, 705, kError, "Could not open file [%s] for parsing.", filename.c_str());
    return false;
  }
  if (!file.error.empty())
  {
    console_bridge::log(kSource, 705, kError, "Could not read file [%s]: %s", filename.c_str(), file.error.c_str());
    return false;
  }

  tinyxml2::XMLDocument document;
  if (document.Parse(file.text.c_str()) != tinyxml2::XML_SUCCESS)
  {
    const char* error = document.ErrorStr();
    console_bridge::log(kSource, 715, kError, "Could not parse the SRDF XML File. %s", error ? error : "");
    return true;
  }
  initXml(urdf_model, document.FirstChildElement("robot"));
  return true;
}

void Model::initXml(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml)
{
  name_.clear();
  groups_.clear();
  group_states_.clear();
  virtual_joints_.clear();
  end_effectors_.clear();
  link_sphere_approximations_.clear();
  no_default_collision_links_.clear();
  enabled_collision_pairs_.clear();
  disabled_collision_pairs_.clear();
  passive_joints_.clear();
  joint_properties_.clear();

  if (robot_xml == nullptr || std::string(robot_xml->Value()) != "robot")
  {
    console_bridge::log(kSource, 651, kError, "Could not find the 'robot' element in the xml file");
    return;
  }

  const char* name = robot_xml->Attribute("name");
  if (name == nullptr)
  {
    console_bridge::log(kSource, 658, kError, "No name given for the robot.");
  }
  else
  {
    name_ = trim(name);
    if (name_ != urdf_model.name_)
    {
      console_bridge::log(kSource, 664, kError, "Semantic description is not specified for the same robot as the URDF");
    }
  }

  // Later loaders look up virtual joints and the pruned groups, so the order matters.
  loadVirtualJoints(urdf_model, robot_xml);
  loadGroups(urdf_model, robot_xml);
  loadGroupStates(urdf_model, robot_xml);
  loadEndEffectors(urdf_model, robot_xml);
  loadLinkSphereApproximations(urdf_model, robot_xml);
  loadCollisionDefaults(urdf_model, robot_xml);
  loadCollisionPairs(urdf_model, robot_xml, "enable_collisions", enabled_collision_pairs_);
  loadCollisionPairs(urdf_model, robot_xml, "disable_collisions", disabled_collision_pairs_);
  loadPassiveJoints(urdf_model, robot_xml);
  loadJointProperties(urdf_model, robot_xml);
}

const std::vector<Model::JointProperty>& Model::getJointProperties(const std::string& joint_name) const
{
  static const std::vector<JointProperty> kNone;
  const auto found = joint_properties_.find(joint_name);
  return found == joint_properties_.end() ? kNone : found->second;
}

bool Model::isValidJoint(const urdf::ModelInterface& urdf_model, const std::string& name) const
{
  if (urdf_model.getJoint(name))
  {
    return true;
  }
  for (const VirtualJoint& joint : virtual_joints_)
  {
    if (joint.name_ == name)
    {
      return true;
    }
  }
  return false;
}

bool Model::hasGroup(const std::string& name) const
{
  for (const Group& group : groups_)
  {
    if (group.name_ == name)
    {
      return true;
    }
  }
  return false;
}
}  // namespace srdf
