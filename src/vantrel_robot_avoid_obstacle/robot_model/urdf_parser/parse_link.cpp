#include <stdexcept>
#include <string>

#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/exception.h"
#include "robot_model/urdf_parser/log.h"
#include "robot_model/urdf_parser/text.h"

namespace urdf
{
namespace
{
constexpr console_bridge::LogLevel kError = console_bridge::CONSOLE_BRIDGE_LOG_ERROR;

// Origin, geometry and name: what visual and collision elements share.
template <typename Element>
bool parseShapeElement(Element& element, const TiXmlElement* config)
{
  element.clear();
  if (const TiXmlElement* origin = config->FirstChildElement("origin"))
  {
    if (!parsePose(element.origin, origin))
    {
      return false;
    }
  }
  element.geometry = parseGeometry(config->FirstChildElement("geometry"));
  if (!element.geometry)
  {
    return false;
  }
  if (const char* name = config->Attribute("name"))
  {
    element.name = name;
  }
  return true;
}

bool readInertiaValue(const TiXmlElement* inertia, const char* attribute, double& value)
{
  const char* text = inertia->Attribute(attribute);
  if (text == nullptr)
  {
    logText(kLinkSource, 325, kError, std::string("Inertial: inertia element missing ") + attribute + " attribute");
    return false;
  }
  try
  {
    value = strToDouble(text);
  }
  catch (const std::runtime_error&)
  {
    logText(kLinkSource, 334, kError, std::string("Inertial: inertia element ") + attribute + " is not a valid double");
    return false;
  }
  return true;
}
}  // namespace

bool parseMaterial(Material& material, const TiXmlElement* config, bool only_name_is_ok)
{
  material.clear();
  const char* name = config->Attribute("name");
  if (name == nullptr)
  {
    console_bridge::log(kLinkSource, 64, kError, "Material must contain a name attribute");
    return false;
  }
  material.name = name;

  bool has_texture = false;
  if (const TiXmlElement* texture = config->FirstChildElement("texture"))
  {
    if (const char* filename = texture->Attribute("filename"))
    {
      material.texture_filename = filename;
      has_texture = true;
    }
  }

  bool has_color = false;
  if (const TiXmlElement* color = config->FirstChildElement("color"))
  {
    if (const char* rgba = color->Attribute("rgba"))
    {
      try
      {
        material.color.init(rgba);
        has_color = true;
      }
      catch (const ParseError& e)
      {
        material.color.clear();
        logText(kLinkSource, 93, kError,
                "Material [" + material.name + "] has malformed color rgba values: " + e.what());
      }
    }
  }

  if (has_color || has_texture)
  {
    return true;
  }
  if (!only_name_is_ok)
  {
    logText(kLinkSource, 101, kError, "Material [" + material.name + "] color has no rgba");
    logText(kLinkSource, 102, kError, "Material [" + material.name + "] not defined in file");
  }
  return false;
}

bool parseVisual(Visual& visual, const TiXmlElement* config)
{
  if (!parseShapeElement(visual, config))
  {
    return false;
  }
  if (const TiXmlElement* material = config->FirstChildElement("material"))
  {
    const char* name = material->Attribute("name");
    if (name == nullptr)
    {
      console_bridge::log(kLinkSource, 375, kError, "Visual material must contain a name attribute");
      return false;
    }
    visual.material_name = name;
    visual.material = std::make_shared<Material>();
    if (!parseMaterial(*visual.material, material, true))
    {
      // The name stays: the model's material of that name may still be bound to it.
      visual.material.reset();
    }
  }
  return true;
}

bool parseCollision(Collision& collision, const TiXmlElement* config)
{
  return parseShapeElement(collision, config);
}

bool parseInertial(Inertial& inertial, const TiXmlElement* config)
{
  inertial.clear();
  if (const TiXmlElement* origin = config->FirstChildElement("origin"))
  {
    if (!parsePose(inertial.origin, origin))
    {
      return false;
    }
  }

  const TiXmlElement* mass = config->FirstChildElement("mass");
  if (mass == nullptr)
  {
    console_bridge::log(kLinkSource, 284, kError, "Inertial element must have a mass element");
    return false;
  }
  const char* mass_value = mass->Attribute("value");
  if (mass_value == nullptr)
  {
    console_bridge::log(kLinkSource, 289, kError, "Inertial: mass element must have value attribute");
    return false;
  }
  try
  {
    inertial.mass = strToDouble(mass_value);
  }
  catch (const std::runtime_error&)
  {
    logText(kLinkSource, 299, kError, std::string("Inertial: mass [") + mass_value + "] is not a float");
    return false;
  }

  const TiXmlElement* inertia = config->FirstChildElement("inertia");
  if (inertia == nullptr)
  {
    console_bridge::log(kLinkSource, 306, kError, "Inertial element must have inertia element");
    return false;
  }
  double ixx = 0.0, ixy = 0.0, ixz = 0.0, iyy = 0.0, iyz = 0.0, izz = 0.0;
  if (!readInertiaValue(inertia, "ixx", ixx) || !readInertiaValue(inertia, "ixy", ixy) ||
      !readInertiaValue(inertia, "ixz", ixz) || !readInertiaValue(inertia, "iyy", iyy) ||
      !readInertiaValue(inertia, "iyz", iyz) || !readInertiaValue(inertia, "izz", izz))
  {
    return false;
  }
  inertial.ixx = ixx;
  inertial.ixy = ixy;
  inertial.ixz = ixz;
  inertial.iyy = iyy;
  inertial.iyz = iyz;
  inertial.izz = izz;
  return true;
}

bool parseLink(Link& link, const TiXmlElement* config)
{
  const char* name = config->Attribute("name");
  if (name == nullptr)
  {
    console_bridge::log(kLinkSource, 423, kError, "No name given for the link.");
    return false;
  }
  link.name = name;

  // Inertial and visual problems are reported and skipped; they must not keep the collisions from being read.
  if (const TiXmlElement* inertial = config->FirstChildElement("inertial"))
  {
    link.inertial = std::make_shared<Inertial>();
    if (!parseInertial(*link.inertial, inertial))
    {
      console_bridge::log(kLinkSource, 435, kError, "Could not parse inertial element for Link [%s]",
                          link.name.c_str());
    }
  }

  for (const TiXmlElement* element = config->FirstChildElement("visual"); element != nullptr;
       element = element->NextSiblingElement("visual"))
  {
    auto visual = std::make_shared<Visual>();
    if (parseVisual(*visual, element))
    {
      link.visual_array.push_back(visual);
    }
    else
    {
      console_bridge::log(kLinkSource, 453, kError, "Could not parse visual element for Link [%s]", link.name.c_str());
    }
  }
  if (!link.visual_array.empty())
  {
    link.visual = link.visual_array.front();
  }

  for (const TiXmlElement* element = config->FirstChildElement("collision"); element != nullptr;
       element = element->NextSiblingElement("collision"))
  {
    auto collision = std::make_shared<Collision>();
    if (!parseCollision(*collision, element))
    {
      console_bridge::log(kLinkSource, 475, kError, "Could not parse collision element for Link [%s]",
                          link.name.c_str());
      return false;
    }
    link.collision_array.push_back(collision);
  }
  if (!link.collision_array.empty())
  {
    link.collision = link.collision_array.front();
  }
  return true;
}
}  // namespace urdf
