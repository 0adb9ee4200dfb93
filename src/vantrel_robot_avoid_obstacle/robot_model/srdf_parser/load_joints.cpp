#include <algorithm>
#include <cctype>

#include <tinyxml2.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/srdf_parser/text.h"

namespace srdf
{
void Model::loadVirtualJoints(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml)
{
  for (const tinyxml2::XMLElement* element = robot_xml->FirstChildElement("virtual_joint"); element != nullptr;
       element = element->NextSiblingElement("virtual_joint"))
  {
    const char* name = element->Attribute("name");
    if (name == nullptr)
    {
      console_bridge::log(kSource, 77, kError, "Name of virtual joint is not specified");
      continue;
    }
    const char* child = element->Attribute("child_link");
    if (child == nullptr)
    {
      console_bridge::log(kSource, 82, kError, "Child link of virtual joint is not specified");
      continue;
    }
    if (!urdf_model.getLink(trim(child)))
    {
      console_bridge::log(kSource, 87, kError,
                          "Virtual joint does not attach to a link on the robot (link '%s' is not known)", child);
      continue;
    }
    const char* parent = element->Attribute("parent_frame");
    if (parent == nullptr)
    {
      console_bridge::log(kSource, 92, kError, "Parent frame of virtual joint is not specified");
      continue;
    }
    const char* type = element->Attribute("type");
    if (type == nullptr)
    {
      console_bridge::log(kSource, 97, kError, "Type of virtual joint is not specified");
      continue;
    }

    VirtualJoint joint;
    joint.type_ = trim(type);
    std::transform(joint.type_.begin(), joint.type_.end(), joint.type_.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    if (joint.type_ != "planar" && joint.type_ != "floating" && joint.type_ != "fixed")
    {
      console_bridge::log(kSource, 106, kError,
                          "Unknown type of joint: '%s'. Assuming 'fixed' instead. Other known types are 'planar' and "
                          "'floating'.",
                          type);
      joint.type_ = "fixed";
    }
    joint.name_ = trim(name);
    joint.parent_frame_ = trim(parent);
    joint.child_link_ = trim(child);
    virtual_joints_.push_back(joint);
  }
}

void Model::loadPassiveJoints(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml)
{
  for (const tinyxml2::XMLElement* element = robot_xml->FirstChildElement("passive_joint"); element != nullptr;
       element = element->NextSiblingElement("passive_joint"))
  {
    const char* name = element->Attribute("name");
    if (name == nullptr)
    {
      console_bridge::log(kSource, 592, kError, "No name specified for passive joint. Ignoring.");
      continue;
    }
    PassiveJoint joint;
    joint.name_ = trim(name);
    if (!isValidJoint(urdf_model, joint.name_))
    {
      console_bridge::log(kSource, 600, kError, "Joint '%s' marked as passive is not known to the URDF. Ignoring.",
                          name);
      continue;
    }
    passive_joints_.push_back(joint);
  }
}

void Model::loadJointProperties(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml)
{
  for (const tinyxml2::XMLElement* element = robot_xml->FirstChildElement("joint_property"); element != nullptr;
       element = element->NextSiblingElement("joint_property"))
  {
    const char* joint_name = element->Attribute("joint_name");
    if (joint_name == nullptr)
    {
      console_bridge::log(kSource, 617, kError, "joint_property is missing a joint name");
      continue;
    }
    const char* property_name = element->Attribute("property_name");
    if (property_name == nullptr)
    {
      console_bridge::log(kSource, 622, kError, "Property name for joint '%s' is not specified", joint_name);
      continue;
    }
    const char* value = element->Attribute("value");
    if (value == nullptr)
    {
      console_bridge::log(kSource, 627, kError, "Value is not specified for property '%s' of joint '%s'", property_name,
                          joint_name);
      continue;
    }

    JointProperty property;
    property.joint_name_ = trim(joint_name);
    property.property_name_ = trim(property_name);
    property.value_ = value;
    if (!isValidJoint(urdf_model, property.joint_name_))
    {
      console_bridge::log(kSource, 638, kError,
                          "Property defined for a joint '%s' that is not known to the URDF. Ignoring.",
                          property.joint_name_.c_str());
      continue;
    }
    joint_properties_[property.joint_name_].push_back(property);
  }
}
}  // namespace srdf
