#include "mimic_rigs.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace {

std::string boxLink(const std::string& name, const std::string& size, const std::string& centre) {
  return "  <link name=\"" + name + "\"><collision><origin xyz=\"" + centre +
         "\" rpy=\"0 0 0\"/><geometry><box size=\"" + size + "\"/></geometry></collision></link>\n";
}

std::string joint(const std::string& name, const std::string& type, const std::string& parent,
                  const std::string& child, const std::string& origin, const std::string& extra) {
  return "  <joint name=\"" + name + "\" type=\"" + type + "\"><origin xyz=\"" + origin +
         "\" rpy=\"0 0 0\"/><parent link=\"" + parent + "\"/><child link=\"" + child + "\"/>" + extra + "</joint>\n";
}

std::string moving(const std::string& axis, double limit) {
  std::ostringstream text;
  text << "<axis xyz=\"" << axis << "\"/><limit lower=\"" << -limit << "\" upper=\"" << limit
       << "\" effort=\"10\" velocity=\"1.5\"/>";
  return text.str();
}

std::string revolute(double limit) { return moving("0 0 1", limit); }

std::string rigUrdf(const MimicRig& rig) {
  std::ostringstream mimic;
  mimic.precision(17);
  mimic << "<mimic joint=\"turn\" multiplier=\"" << rig.multiplier << "\" offset=\"" << rig.offset << "\"/>";
  std::string text = "<?xml version=\"1.0\"?>\n<robot name=\"mimic_rig\">\n";
  text += boxLink("base_link", "0.2 0.2 0.02", "0 0 -0.01");
  text += boxLink("hub_link", "0.06 0.06 0.06", "0 0 0.03");
  text += boxLink("post_link", "0.01 0.01 0.2", "0 0 0.1");
  text += boxLink("blade_link", "0.31 0.01 0.01", "0.155 0 0");
  text += joint("turn", "revolute", "base_link", "hub_link", "0 0 0.02", revolute(3.1));
  text += joint("post_joint", "fixed", "hub_link", "post_link", "0.3 0 0", "");
  // The blade's own limits never bind: it goes where its source takes it.
  text += joint(rig.blade_joint, rig.blade_slides ? "prismatic" : "revolute", rig.blade_on_hub ? "hub_link" : "base_link",
                "blade_link", rig.blade_on_hub ? "0 0 0.1" : "0.6 0 0.12",
                (rig.blade_slides ? moving("0 1 0", 100.0) : revolute(100.0)) + mimic.str());
  if (rig.wrist) {
    text += boxLink("paddle_link", "0.1 0.01 0.01", "0.05 0 0");
    text += joint("wrist", "revolute", "blade_link", "paddle_link", "0.31 0 0", revolute(3.1));
  }
  return text + "</robot>\n";
}

std::string rigSrdf(const MimicRig& rig) {
  std::string text = "<?xml version=\"1.0\"?>\n<robot name=\"mimic_rig\">\n  <group name=\"arm\">\n";
  text += "    <joint name=\"turn\"/>\n";
  if (rig.blade_in_group) text += "    <joint name=\"" + rig.blade_joint + "\"/>\n";
  if (rig.wrist) text += "    <joint name=\"wrist\"/>\n";
  text += "  </group>\n";
  text += "  <virtual_joint name=\"virtual_joint\" type=\"fixed\" parent_frame=\"world\" child_link=\"base_link\"/>\n";
  const auto disable = [&text](const std::string& a, const std::string& b) {
    text += "  <disable_collisions link1=\"" + a + "\" link2=\"" + b + "\" reason=\"Adjacent\"/>\n";
  };
  disable("base_link", "hub_link");
  disable("hub_link", "post_link");
  disable(rig.blade_on_hub ? "hub_link" : "base_link", "blade_link");
  if (rig.wrist) disable("blade_link", "paddle_link");
  return text + "</robot>\n";
}

}  // namespace

std::unique_ptr<ManipulatorPlanScene> makeMimicRigScene(const MimicRig& rig, double robot_padding) {
  std::string folder = (std::filesystem::temp_directory_path() / "mimic_rig_XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) throw std::runtime_error("cannot make a folder for the mimic rig");
  // The scene reads the files as it is made.
  const struct Removed {
    std::string folder;
    ~Removed() { std::filesystem::remove_all(folder); }
  } removed{folder};
  std::ofstream(folder + "/rig.urdf") << rigUrdf(rig);
  std::ofstream(folder + "/rig.srdf") << rigSrdf(rig);
  return std::make_unique<ManipulatorPlanScene>(folder + "/", "rig.urdf", "rig.srdf", "arm", robot_padding, 1.0);
}
