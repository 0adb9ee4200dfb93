#include <sstream>
#include <vector>

#include <tinyxml2.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/srdf_parser/text.h"

namespace srdf
{
namespace
{
// Numbers up to the first piece that is not one.
std::vector<double> readJointValues(const char* text)
{
  std::vector<double> values;
  std::istringstream stream(text);
  double value = 0.0;
  while (stream >> value)
  {
    values.push_back(value);
  }
  return values;
}
}  // namespace

void Model::loadGroupStates(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml)
{
  for (const tinyxml2::XMLElement* element = robot_xml->FirstChildElement("group_state"); element != nullptr;
       element = element->NextSiblingElement("group_state"))
  {
    const char* state_name = element->Attribute("name");
    if (state_name == nullptr)
    {
      console_bridge::log(kSource, 301, kError, "Name of group state is not specified");
      continue;
    }
    const char* group_name = element->Attribute("group");
    if (group_name == nullptr)
    {
      console_bridge::log(kSource, 306, kError, "Name of group for state '%s' is not specified", state_name);
      continue;
    }

    GroupState state;
    state.name_ = trim(state_name);
    state.group_ = trim(group_name);
    if (!hasGroup(state.group_))
    {
      console_bridge::log(kSource, 323, kError,
                          "Group state '%s' specified for group '%s', but that group is not known", state_name,
                          group_name);
      continue;
    }

    for (const tinyxml2::XMLElement* joint = element->FirstChildElement("joint"); joint != nullptr;
         joint = joint->NextSiblingElement("joint"))
    {
      const char* joint_name = joint->Attribute("name");
      if (joint_name == nullptr)
      {
        console_bridge::log(kSource, 335, kError, "Joint name not specified in group state '%s'", state_name);
        continue;
      }
      const char* value = joint->Attribute("value");
      if (value == nullptr)
      {
        console_bridge::log(kSource, 340, kError, "Joint name not specified for joint '%s' in group state '%s'",
                            joint_name, state_name);
        continue;
      }
      const std::string name = trim(joint_name);
      if (!isValidJoint(urdf_model, name))
      {
        console_bridge::log(kSource, 346, kError,
                            "Joint '%s' declared as part of group state '%s' is not known to the URDF", joint_name,
                            state_name);
        continue;
      }
      const std::vector<double> values = readJointValues(value);
      if (values.empty())
      {
        console_bridge::log(kSource, 371, kError,
                            "Unable to parse joint value ('%s') for joint '%s' in group state '%s'", value, joint_name,
                            state_name);
        continue;
      }
      std::vector<double>& stored = state.joint_values_[name];
      stored.insert(stored.end(), values.begin(), values.end());
    }
    group_states_.push_back(state);
  }
}

void Model::loadEndEffectors(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml)
{
  for (const tinyxml2::XMLElement* element = robot_xml->FirstChildElement("end_effector"); element != nullptr;
       element = element->NextSiblingElement("end_effector"))
  {
    const char* name = element->Attribute("name");
    if (name == nullptr)
    {
      console_bridge::log(kSource, 389, kError, "Name of end effector is not specified");
      continue;
    }
    const char* group = element->Attribute("group");
    if (group == nullptr)
    {
      console_bridge::log(kSource, 394, kError, "Group not specified for end effector '%s'", name);
      continue;
    }
    EndEffector end_effector;
    end_effector.name_ = trim(name);
    end_effector.component_group_ = trim(group);
    if (!hasGroup(end_effector.component_group_))
    {
      console_bridge::log(kSource, 411, kError,
                          "End effector '%s' specified for group '%s', but that group is not known", name, group);
      continue;
    }
    const char* parent_link = element->Attribute("parent_link");
    if (parent_link == nullptr)
    {
      console_bridge::log(kSource, 416, kError, "Parent link not specified for end effector '%s'", name);
      continue;
    }
    end_effector.parent_link_ = trim(parent_link);
    if (!urdf_model.getLink(end_effector.parent_link_))
    {
      console_bridge::log(kSource, 423, kError,
                          "Link '%s' specified as parent for end effector '%s' is not known to the URDF", parent_link,
                          name);
      continue;
    }
    if (const char* parent_group = element->Attribute("parent_group"))
    {
      end_effector.parent_group_ = trim(parent_group);
    }
    end_effectors_.push_back(end_effector);
  }
}
}  // namespace srdf
