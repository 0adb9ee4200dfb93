#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "robot_model/urdf_parser/model.h"

namespace tinyxml2
{
class XMLElement;
}

namespace srdf
{
// The robot's semantic description. Every link and joint name in it names a link or joint of the URDF model
// it was loaded against (or, for joints, one of its virtual joints).
class Model
{
public:
  struct Group
  {
    std::string name_;
    std::vector<std::string> joints_;
    std::vector<std::string> links_;
    std::vector<std::pair<std::string, std::string>> chains_;  // (base link, tip link)
    std::vector<std::string> subgroups_;
  };

  struct GroupState
  {
    std::string name_;
    std::string group_;
    std::map<std::string, std::vector<double>> joint_values_;
  };

  struct VirtualJoint
  {
    std::string name_;
    std::string type_;  // "fixed", "planar" or "floating"
    std::string parent_frame_;
    std::string child_link_;
  };

  struct EndEffector
  {
    std::string name_;
    std::string parent_link_;
    std::string parent_group_;
    std::string component_group_;
  };

  struct Sphere
  {
    double center_x_;
    double center_y_;
    double center_z_;
    double radius_;
  };

  struct LinkSpheres
  {
    std::string link_;
    std::vector<Sphere> spheres_;
  };

  struct CollisionPair
  {
    std::string link1_;
    std::string link2_;
    std::string reason_;
  };

  struct PassiveJoint
  {
    std::string name_;
  };

  struct JointProperty
  {
    std::string joint_name_;
    std::string property_name_;
    std::string value_;
  };

  // Reads the file (a regular file of bounded size); every problem is logged and costs only the entry concerned.
  // False when the file could not be read at all.
  bool initFile(const urdf::ModelInterface& urdf_model, const std::string& filename);
  void initXml(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml);

  const std::string& getName() const { return name_; }
  const std::vector<Group>& getGroups() const { return groups_; }
  const std::vector<GroupState>& getGroupStates() const { return group_states_; }
  const std::vector<VirtualJoint>& getVirtualJoints() const { return virtual_joints_; }
  const std::vector<EndEffector>& getEndEffectors() const { return end_effectors_; }
  const std::vector<LinkSpheres>& getLinkSphereApproximations() const { return link_sphere_approximations_; }
  const std::vector<std::string>& getNoDefaultCollisionLinks() const { return no_default_collision_links_; }
  const std::vector<CollisionPair>& getEnabledCollisionPairs() const { return enabled_collision_pairs_; }
  const std::vector<CollisionPair>& getDisabledCollisionPairs() const { return disabled_collision_pairs_; }
  const std::vector<PassiveJoint>& getPassiveJoints() const { return passive_joints_; }
  const std::map<std::string, std::vector<JointProperty>>& getJointProperties() const { return joint_properties_; }
  // Empty when the joint has no properties.
  const std::vector<JointProperty>& getJointProperties(const std::string& joint_name) const;

  // A joint of the URDF model or one of the virtual joints loaded so far.
  bool isValidJoint(const urdf::ModelInterface& urdf_model, const std::string& name) const;

private:
  void loadVirtualJoints(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml);
  void loadGroups(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml);
  void loadGroupStates(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml);
  void loadEndEffectors(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml);
  void loadLinkSphereApproximations(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml);
  void loadCollisionDefaults(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml);
  void loadCollisionPairs(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml,
                          const char* tag_name, std::vector<CollisionPair>& pairs);
  void loadPassiveJoints(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml);
  void loadJointProperties(const urdf::ModelInterface& urdf_model, const tinyxml2::XMLElement* robot_xml);

  bool hasGroup(const std::string& name) const;
  void dropGroupsWithUnsatisfiedSubgroups();

  std::string name_;
  std::vector<Group> groups_;
  std::vector<GroupState> group_states_;
  std::vector<VirtualJoint> virtual_joints_;
  std::vector<EndEffector> end_effectors_;
  std::vector<LinkSpheres> link_sphere_approximations_;
  std::vector<std::string> no_default_collision_links_;
  std::vector<CollisionPair> enabled_collision_pairs_;
  std::vector<CollisionPair> disabled_collision_pairs_;
  std::vector<PassiveJoint> passive_joints_;
  std::map<std::string, std::vector<JointProperty>> joint_properties_;
};
}  // namespace srdf
