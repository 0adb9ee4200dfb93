#include <set>

#include <tinyxml2.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/srdf_parser/text.h"

namespace srdf
{
namespace
{
// Accepted when the base lies on the tip's path to the root, or when the two paths to the root meet.
bool formChain(const urdf::ModelInterface& urdf_model, const std::string& base, const std::string& tip)
{
  std::set<std::string> tip_path;
  for (std::shared_ptr<urdf::Link> link = urdf_model.getLink(tip); link; link = link->getParent())
  {
    if (link->name == base)
    {
      return true;
    }
    tip_path.insert(link->name);
  }
  for (std::shared_ptr<urdf::Link> link = urdf_model.getLink(base); link; link = link->getParent())
  {
    if (tip_path.count(link->name) != 0)
    {
      return true;
    }
  }
  return false;
}

template <typename Visit>
void forEachChild(const tinyxml2::XMLElement* parent, const char* name, Visit visit)
{
  for (const tinyxml2::XMLElement* element = parent->FirstChildElement(name); element != nullptr;
       element = element->NextSiblingElement(name))
  {
    visit(element);
  }
}

void loadGroupLinks(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* group_xml,
                    const char* group_name, Model::Group& group)
{
  forEachChild(group_xml, "link",
               [&](const tinyxml2::XMLElement* element)
               {
                 const char* name = element->Attribute("name");
                 if (name == nullptr)
                 {
                   console_bridge::log(kSource, 143, kError, "Link name not specified");
                   return;
                 }
                 const std::string link = trim(name);
                 if (!urdf_model.getLink(link))
                 {
                   console_bridge::log(kSource, 149, kError,
                                       "Link '%s' declared as part of group '%s' is not known to the URDF", name,
                                       group_name);
                   return;
                 }
                 group.links_.push_back(link);
               });
}

void loadGroupChains(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* group_xml,
                     const char* group_name, Model::Group& group)
{
  forEachChild(group_xml, "chain",
               [&](const tinyxml2::XMLElement* element)
               {
                 const char* base = element->Attribute("base_link");
                 if (base == nullptr)
                 {
                   console_bridge::log(kSource, 182, kError, "Base link name not specified for chain");
                   return;
                 }
                 const char* tip = element->Attribute("tip_link");
                 if (tip == nullptr)
                 {
                   console_bridge::log(kSource, 187, kError, "Tip link name not specified for chain");
                   return;
                 }
                 const std::string base_link = trim(base);
                 const std::string tip_link = trim(tip);
                 if (!urdf_model.getLink(base_link))
                 {
                   console_bridge::log(kSource, 194, kError,
                                       "Link '%s' declared as part of a chain in group '%s' is not known to the URDF",
                                       base, group_name);
                   return;
                 }
                 if (!urdf_model.getLink(tip_link))
                 {
                   console_bridge::log(kSource, 200, kError,
                                       "Link '%s' declared as part of a chain in group '%s' is not known to the URDF",
                                       tip, group_name);
                   return;
                 }
                 if (!formChain(urdf_model, base_link, tip_link))
                 {
                   console_bridge::log(kSource, 229, kError,
                                       "Links '%s' and '%s' do not form a chain. Not included in group '%s'", base, tip,
                                       group_name);
                   return;
                 }
                 group.chains_.emplace_back(base_link, tip_link);
               });
}
}  // namespace

void Model::loadGroups(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml)
{
  forEachChild(robot_xml, "group",
               [&](const tinyxml2::XMLElement* group_xml)
               {
                 const char* group_name = group_xml->Attribute("name");
                 if (group_name == nullptr)
                 {
                   console_bridge::log(kSource, 129, kError, "Group name not specified");
                   return;
                 }
                 Group group;
                 group.name_ = trim(group_name);

                 loadGroupLinks(urdf_model, group_xml, group_name, group);
                 forEachChild(group_xml, "joint",
                              [&](const tinyxml2::XMLElement* element)
                              {
                                const char* name = element->Attribute("name");
                                if (name == nullptr)
                                {
                                  console_bridge::log(kSource, 162, kError, "Joint name not specified");
                                  return;
                                }
                                const std::string joint = trim(name);
                                if (!isValidJoint(urdf_model, joint))
                                {
                                  console_bridge::log(
                                      kSource, 168, kError,
                                      "Joint '%s' declared as part of group '%s' is not known to the URDF", name,
                                      group_name);
                                  return;
                                }
                                group.joints_.push_back(joint);
                              });
                 loadGroupChains(urdf_model, group_xml, group_name, group);
                 forEachChild(group_xml, "group",
                              [&](const tinyxml2::XMLElement* element)
                              {
                                const char* name = element->Attribute("name");
                                if (name == nullptr)
                                {
                                  console_bridge::log(kSource, 239, kError,
                                                      "Group name not specified when included as subgroup");
                                  return;
                                }
                                group.subgroups_.push_back(trim(name));
                              });

                 if (group.links_.empty() && group.joints_.empty() && group.chains_.empty() && group.subgroups_.empty())
                 {
                   console_bridge::log(kSource, 245, kWarn, "Group '%s' is empty.", group_name);
                 }
                 groups_.push_back(group);
               });

  dropGroupsWithUnsatisfiedSubgroups();
}

void Model::dropGroupsWithUnsatisfiedSubgroups()
{
  std::set<std::string> resolved;
  bool added = true;
  while (added)
  {
    added = false;
    for (const Group& group : groups_)
    {
      if (resolved.count(group.name_) != 0)
      {
        continue;
      }
      bool satisfied = true;
      for (const std::string& subgroup : group.subgroups_)
      {
        if (resolved.count(subgroup) == 0)
        {
          satisfied = false;
          break;
        }
      }
      if (satisfied)
      {
        resolved.insert(group.name_);
        added = true;
      }
    }
  }

  if (resolved.size() == groups_.size())
  {
    return;
  }
  std::vector<Group> kept;
  for (Group& group : groups_)
  {
    if (resolved.count(group.name_) != 0)
    {
      kept.push_back(std::move(group));
    }
    else
    {
      console_bridge::log(kSource, 287, kError, "Group '%s' has unsatisfied subgroups", group.name_.c_str());
    }
  }
  groups_ = std::move(kept);
}
}  // namespace srdf
