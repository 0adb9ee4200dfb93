#include <cmath>
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

// A negative or non-finite size would only fail later, far from the file, when shapes are built.
bool isSize(double value)
{
  return std::isfinite(value) && value >= 0.0;
}

// Sets value from the attribute text; otherwise logs "<attribute> [<text>] is not a valid float" at line.
bool readFloat(const char* attribute, const char* text, int line, double& value)
{
  try
  {
    value = strToDouble(text);
  }
  catch (const std::runtime_error&)
  {
    logText(kLinkSource, line, kError, std::string(attribute) + " [" + text + "] is not a valid float");
    return false;
  }
  return true;
}

std::shared_ptr<Geometry> parseSphere(const TiXmlElement* shape)
{
  auto sphere = std::make_shared<Sphere>();
  const char* radius = shape->Attribute("radius");
  if (radius == nullptr)
  {
    console_bridge::log(kLinkSource, 117, kError, "Sphere shape must have a radius attribute");
    return nullptr;
  }
  if (!readFloat("radius", radius, 126, sphere->radius))
  {
    return nullptr;
  }
  if (!isSize(sphere->radius))
  {
    logText(kLinkSource, 130, kError, std::string("Sphere radius [") + radius + "] must be finite and non-negative");
    return nullptr;
  }
  return sphere;
}

std::shared_ptr<Geometry> parseBox(const TiXmlElement* shape)
{
  auto box = std::make_shared<Box>();
  const char* size = shape->Attribute("size");
  if (size == nullptr)
  {
    console_bridge::log(kLinkSource, 140, kError, "Box shape has no size attribute");
    return nullptr;
  }
  try
  {
    box->dim.init(size);
  }
  catch (const ParseError& e)
  {
    box->dim.clear();
    logText(kLinkSource, 150, kError, e.what());
    return nullptr;
  }
  if (!isSize(box->dim.x) || !isSize(box->dim.y) || !isSize(box->dim.z))
  {
    logText(kLinkSource, 154, kError, std::string("Box size [") + size + "] must be finite and non-negative");
    return nullptr;
  }
  return box;
}

std::shared_ptr<Geometry> parseMesh(const TiXmlElement* shape)
{
  auto mesh = std::make_shared<Mesh>();
  const char* filename = shape->Attribute("filename");
  if (filename == nullptr)
  {
    console_bridge::log(kLinkSource, 196, kError, "Mesh must contain a filename attribute");
    return nullptr;
  }
  mesh->filename = filename;
  if (const char* scale = shape->Attribute("scale"))
  {
    try
    {
      mesh->scale.init(scale);
    }
    catch (const ParseError& e)
    {
      mesh->scale.clear();
      console_bridge::log(kLinkSource, 208, kError, "Mesh scale was specified, but could not be parsed: %s", e.what());
      return nullptr;
    }
    // A negative factor mirrors the mesh and is kept; a non-finite one has no meaning.
    if (!std::isfinite(mesh->scale.x) || !std::isfinite(mesh->scale.y) || !std::isfinite(mesh->scale.z))
    {
      logText(kLinkSource, 212, kError, std::string("Mesh scale [") + scale + "] must be finite");
      return nullptr;
    }
  }
  return mesh;
}
}  // namespace

bool parseCylinder(Cylinder& cylinder, const TiXmlElement* config)
{
  cylinder.clear();
  const char* length = config->Attribute("length");
  const char* radius = config->Attribute("radius");
  if (length == nullptr || radius == nullptr)
  {
    console_bridge::log(kLinkSource, 164, kError, "Cylinder shape must have both length and radius attributes");
    return false;
  }
  if (!readFloat("length", length, 173, cylinder.length) || !readFloat("radius", radius, 182, cylinder.radius))
  {
    return false;
  }
  if (!isSize(cylinder.length) || !isSize(cylinder.radius))
  {
    logText(
        kLinkSource, 186, kError,
        std::string("Cylinder length [") + length + "] and radius [" + radius + "] must be finite and non-negative");
    return false;
  }
  return true;
}

std::shared_ptr<Geometry> parseGeometry(const TiXmlElement* geometry)
{
  if (geometry == nullptr)
  {
    return nullptr;
  }
  const TiXmlElement* shape = geometry->FirstChildElement();
  if (shape == nullptr)
  {
    console_bridge::log(kLinkSource, 227, kError, "Geometry tag contains no child element.");
    return nullptr;
  }

  const std::string type = shape->Value();
  if (type == "sphere")
  {
    return parseSphere(shape);
  }
  if (type == "box")
  {
    return parseBox(shape);
  }
  if (type == "cylinder")
  {
    auto cylinder = std::make_shared<Cylinder>();
    return parseCylinder(*cylinder, shape) ? cylinder : nullptr;
  }
  if (type == "mesh")
  {
    return parseMesh(shape);
  }
  console_bridge::log(kLinkSource, 262, kError, "Unknown geometry type '%s'", type.c_str());
  return nullptr;
}
}  // namespace urdf
