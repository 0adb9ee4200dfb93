#include <cstdio>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>

#include <tinyxml2.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/srdf_parser/text.h"

namespace srdf
{
namespace
{
// The centre as three numbers; text after the third is ignored. Throws on a missing or bad number.
void readCenter(const char* text, Model::Sphere& sphere)
{
  std::stringstream stream(text);
  stream.exceptions(std::ios_base::failbit | std::ios_base::badbit);
  stream >> sphere.center_x_ >> sphere.center_y_ >> sphere.center_z_;
}
}  // namespace

void Model::loadLinkSphereApproximations(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml)
{
  for (const tinyxml2::XMLElement* element = robot_xml->FirstChildElement("link_sphere_approximation");
       element != nullptr; element = element->NextSiblingElement("link_sphere_approximation"))
  {
    const char* link_name = element->Attribute("link");
    if (link_name == nullptr)
    {
      console_bridge::log(kSource, 445, kError, "Name of link is not specified in link_collision_spheres");
      continue;
    }
    LinkSpheres link_spheres;
    link_spheres.link_ = trim(link_name);
    if (!urdf_model.getLink(link_spheres.link_))
    {
      console_bridge::log(kSource, 453, kError, "Link '%s' is not known to URDF.", link_name);
      continue;
    }

    int index = 0;
    int positive = 0;
    for (const tinyxml2::XMLElement* sphere_xml = element->FirstChildElement("sphere"); sphere_xml != nullptr;
         sphere_xml = sphere_xml->NextSiblingElement("sphere"), ++index)
    {
      const char* center = sphere_xml->Attribute("center");
      const char* radius = sphere_xml->Attribute("radius");
      if (center == nullptr || radius == nullptr)
      {
        console_bridge::log(kSource, 466, kError,
                            "Link collision sphere %d for link '%s' does not have both center and radius.", index,
                            link_name);
        continue;
      }
      Sphere sphere{};
      try
      {
        readCenter(center, sphere);
      }
      catch (const std::exception&)  // the stream's failure type differs between library ABIs
      {
        console_bridge::log(kSource, 481, kError,
                            "Link collision sphere %d for link '%s' has bad center attribute value.", index, link_name);
        continue;
      }
      try
      {
        sphere.radius_ = std::stod(radius);
      }
      catch (const std::out_of_range&)
      {
        console_bridge::log(kSource, 493, kError,
                            "Link collision sphere %d for link '%s' has an out of range radius attribute value.", index,
                            link_name);
        continue;
      }
      catch (const std::invalid_argument&)
      {
        console_bridge::log(kSource, 487, kError,
                            "Link collision sphere %d for link '%s' has bad radius attribute value.", index, link_name);
        continue;
      }

      if (sphere.radius_ > std::numeric_limits<double>::epsilon())
      {
        if (positive == 0)
        {
          link_spheres.spheres_.clear();
        }
        link_spheres.spheres_.push_back(sphere);
        ++positive;
      }
      else if (positive == 0)
      {
        // Only degenerate spheres so far: the link is represented by a single point.
        link_spheres.spheres_.assign(1, Sphere{0.0, 0.0, 0.0, 0.0});
      }
    }
    if (!link_spheres.spheres_.empty())
    {
      link_sphere_approximations_.push_back(link_spheres);
    }
  }
}

void Model::loadCollisionDefaults(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml)
{
  for (const tinyxml2::XMLElement* element = robot_xml->FirstChildElement("disable_default_collisions");
       element != nullptr; element = element->NextSiblingElement("disable_default_collisions"))
  {
    const char* link_name = element->Attribute("link");
    if (link_name == nullptr)
    {
      console_bridge::log(kSource, 541, kError, "A disable_default_collisions tag needs to specify a link name");
      continue;
    }
    const std::string link = trim(link_name);
    if (!urdf_model.getLink(link))
    {
      console_bridge::log(kSource, 547, kWarn, "Link '%s' is not known to URDF. Cannot specify collision default.",
                          link_name);
      continue;
    }
    no_default_collision_links_.push_back(link);
  }
}

void Model::loadCollisionPairs(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml,
                               const char* tag_name, std::vector<CollisionPair>& pairs)
{
  for (const tinyxml2::XMLElement* element = robot_xml->FirstChildElement(tag_name); element != nullptr;
       element = element->NextSiblingElement(tag_name))
  {
    const char* link1 = element->Attribute("link1");
    const char* link2 = element->Attribute("link2");
    if (link1 == nullptr || link2 == nullptr)
    {
      console_bridge::log(kSource, 563, kError, "A pair of links needs to be specified to disable/enable collisions");
      continue;
    }
    CollisionPair pair;
    pair.link1_ = trim(link1);
    pair.link2_ = trim(link2);
    if (const char* reason = element->Attribute("reason"))
    {
      pair.reason_ = reason;
    }
    if (!urdf_model.getLink(pair.link1_))
    {
      console_bridge::log(kSource, 572, kWarn, "Link '%s' is not known to URDF. Cannot disable/enable collisons.",
                          link1);
      continue;
    }
    if (!urdf_model.getLink(pair.link2_))
    {
      console_bridge::log(kSource, 577, kWarn, "Link '%s' is not known to URDF. Cannot disable/enable collisons.",
                          link2);
      continue;
    }
    pairs.push_back(pair);
  }
}
}  // namespace srdf
