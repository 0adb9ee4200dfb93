#include <cstdint>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <vector>

#include <tinyxml.h>

#include "robot_model/shapes/regular_file.h"
#include "robot_model/urdf_parser/element_parsers.h"
#include "robot_model/urdf_parser/exception.h"
#include "robot_model/urdf_parser/log.h"
#include "robot_model/urdf_parser/text.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "robot_model/urdf_parser/xml_depth.h"

namespace urdf
{
namespace
{
constexpr console_bridge::LogLevel kDebug = console_bridge::CONSOLE_BRIDGE_LOG_DEBUG;
constexpr console_bridge::LogLevel kWarn = console_bridge::CONSOLE_BRIDGE_LOG_WARN;
constexpr console_bridge::LogLevel kError = console_bridge::CONSOLE_BRIDGE_LOG_ERROR;
// Far beyond any robot description, far below what the stack holds.
constexpr int kMaxElementDepth = 100;

// A rejected description may hold a cycle of links owning each other; cut it so the links are freed.
std::shared_ptr<ModelInterface> drop(const std::shared_ptr<ModelInterface>& model)
{
  for (auto& entry : model->links_)
  {
    entry.second->child_links.clear();
  }
  model->clear();
  return nullptr;
}

std::uint32_t parseVersionPiece(const std::string& piece)
{
  if (piece.empty())
  {
    throw std::runtime_error("One of the fields of the version attribute is blank");
  }
  char* end = nullptr;
  const long value = std::strtol(piece.c_str(), &end, 10);
  if (end == piece.c_str())
  {
    throw std::runtime_error("Version attribute is not an integer");
  }
  if (*end != '\0')
  {
    throw std::runtime_error("Extra characters after the version number");
  }
  if (value < 0)
  {
    throw std::runtime_error("Version number must be positive");
  }
  return static_cast<std::uint32_t>(value);
}

bool addMaterials(ModelInterface& model, const TiXmlElement* robot)
{
  try
  {
    for (const TiXmlElement* element = robot->FirstChildElement("material"); element != nullptr;
         element = element->NextSiblingElement("material"))
    {
      auto material = std::make_shared<Material>();
      // A material without colour or texture is reported by parseMaterial and kept all the same.
      parseMaterial(*material, element, false);
      if (model.getMaterial(material->name))
      {
        console_bridge::log(kModelSource, 148, kError, "material '%s' is not unique.", material->name.c_str());
        return false;
      }
      model.materials_[material->name] = material;
      console_bridge::log(kModelSource, 156, kDebug, "urdf_parser: successfully added a new material '%s'",
                          material->name.c_str());
    }
  }
  catch (const ParseError&)
  {
    console_bridge::log(kModelSource, 160, kError, "material xml is not initialized correctly");
    return false;
  }
  return true;
}

bool addLinks(ModelInterface& model, const TiXmlElement* robot)
{
  try
  {
    for (const TiXmlElement* element = robot->FirstChildElement("link"); element != nullptr;
         element = element->NextSiblingElement("link"))
    {
      auto link = std::make_shared<Link>();
      const bool complete = parseLink(*link, element);
      // A nameless link is kept as read; a link missing collision geometry would be checked without it.
      if (!complete && !link->name.empty())
      {
        console_bridge::log(kModelSource, 188, kError,
                            "link '%s' has a collision element that cannot be read; the robot description is rejected",
                            link->name.c_str());
        return false;
      }
      if (model.getLink(link->name))
      {
        console_bridge::log(kModelSource, 177, kError, "link '%s' is not unique.", link->name.c_str());
        return false;
      }
      console_bridge::log(kModelSource, 184, kDebug, "urdf_parser: setting link '%s' material", link->name.c_str());
      if (link->visual)
      {
        assignMaterial(link->visual, model, link->name);
      }
      for (const std::shared_ptr<Visual>& visual : link->visual_array)
      {
        assignMaterial(visual, model, link->name);
      }
      model.links_[link->name] = link;
      console_bridge::log(kModelSource, 195, kDebug, "urdf_parser: successfully added a new link '%s'",
                          link->name.c_str());
    }
  }
  catch (const ParseError&)
  {
    console_bridge::log(kModelSource, 199, kError, "link xml is not initialized correctly");
    return false;
  }
  return true;
}

bool addJoints(ModelInterface& model, const TiXmlElement* robot)
{
  for (const TiXmlElement* element = robot->FirstChildElement("joint"); element != nullptr;
       element = element->NextSiblingElement("joint"))
  {
    auto joint = std::make_shared<Joint>();
    if (!parseJoint(*joint, element))
    {
      console_bridge::log(kModelSource, 232, kError, "joint xml is not initialized correctly");
      return false;
    }
    if (model.getJoint(joint->name))
    {
      console_bridge::log(kModelSource, 220, kError, "joint '%s' is not unique.", joint->name.c_str());
      return false;
    }
    model.joints_[joint->name] = joint;
    console_bridge::log(kModelSource, 227, kDebug, "urdf_parser: successfully added a new joint '%s'",
                        joint->name.c_str());
  }
  return true;
}
}  // namespace

void parseVersion(const char* version)
{
  if (version == nullptr)
  {
    return;
  }
  std::vector<std::string> pieces;
  split_string(pieces, version, ".");
  if (pieces.size() != 2)
  {
    throw std::runtime_error("The version attribute should be in the form 'x.y'");
  }
  const std::uint32_t major = parseVersionPiece(pieces[0]);
  const std::uint32_t minor = parseVersionPiece(pieces[1]);
  if (major != 1 || minor != 0)
  {
    throw std::runtime_error("Invalid 'version' specified; only version 1.0 is currently supported");
  }
}

void assignMaterial(const std::shared_ptr<Visual>& visual, ModelInterface& model, const std::string& link_name)
{
  if (visual->material_name.empty())
  {
    return;
  }
  if (const std::shared_ptr<Material> material = model.getMaterial(visual->material_name))
  {
    console_bridge::log(kModelSource, 71, kDebug, "urdf_parser: setting link '%s' material to '%s'", link_name.c_str(),
                        visual->material_name.c_str());
    visual->material = material;
  }
  else if (visual->material)
  {
    console_bridge::log(kModelSource, 78, kDebug, "urdf_parser: link '%s' material '%s' defined in Visual.",
                        link_name.c_str(), visual->material_name.c_str());
    model.materials_.emplace(visual->material->name, visual->material);
  }
  else
  {
    console_bridge::log(kModelSource, 83, kWarn, "link '%s' material '%s' undefined.", link_name.c_str(),
                        visual->material_name.c_str());
  }
}

std::shared_ptr<ModelInterface> parseURDF(const std::string& xml_text)
{
  auto model = std::make_shared<ModelInterface>();
  model->clear();

  const std::string::size_type invalid_byte = invalidUtf8Offset(xml_text);
  if (invalid_byte != std::string::npos)
  {
    console_bridge::log(kModelSource, 96, kError, "The XML text is not valid UTF-8: byte %zu is %s",
                        static_cast<std::size_t>(invalid_byte), xml_text[invalid_byte] == '\0' ? "a NUL" : "malformed");
    return drop(model);
  }
  if (nestedDeeperThan(xml_text, kMaxElementDepth))
  {
    console_bridge::log(kModelSource, 96, kError, "XML elements are nested more than %d levels deep", kMaxElementDepth);
    return drop(model);
  }
  TiXmlDocument document;
  document.Parse(xml_text.c_str(), nullptr, TIXML_ENCODING_UTF8);
  if (document.Error())
  {
    logText(kModelSource, 99, kError, document.ErrorDesc());
    document.ClearError();
    return drop(model);
  }

  const TiXmlElement* robot = document.FirstChildElement("robot");
  if (robot == nullptr)
  {
    console_bridge::log(kModelSource, 108, kError, "Could not find the 'robot' element in the xml file");
    return drop(model);
  }
  const char* name = robot->Attribute("name");
  if (name == nullptr)
  {
    console_bridge::log(kModelSource, 117, kError, "No name given for the robot.");
    return drop(model);
  }
  model->name_ = name;

  try
  {
    parseVersion(robot->Attribute("version"));
  }
  catch (const std::runtime_error& e)
  {
    logText(kModelSource, 133, kError, e.what());
    return drop(model);
  }

  if (!addMaterials(*model, robot) || !addLinks(*model, robot))
  {
    return drop(model);
  }
  if (model->links_.empty())
  {
    console_bridge::log(kModelSource, 205, kError, "No link elements found in urdf file");
    return drop(model);
  }
  if (!addJoints(*model, robot))
  {
    return drop(model);
  }

  std::map<std::string, std::string> parent_link_tree;
  try
  {
    model->initTree(parent_link_tree);
  }
  catch (const ParseError& e)
  {
    console_bridge::log(kModelSource, 251, kError, "Failed to build tree: %s", e.what());
    return drop(model);
  }
  try
  {
    model->initRoot(parent_link_tree);
  }
  catch (const ParseError& e)
  {
    console_bridge::log(kModelSource, 263, kError, "Failed to find root link: %s", e.what());
    return drop(model);
  }
  return model;
}

std::shared_ptr<ModelInterface> parseURDFFile(const std::string& path)
{
  const regular_file::FileText file = regular_file::read(path);
  if (file.open_error != 0)
  {
    logText(kModelSource, 55, kError, "File " + path + " does not exist");
    return nullptr;
  }
  if (!file.error.empty())
  {
    logText(kModelSource, 55, kError, "File " + path + " could not be read: " + file.error);
    return nullptr;
  }
  return parseURDF(file.text);
}
}  // namespace urdf
