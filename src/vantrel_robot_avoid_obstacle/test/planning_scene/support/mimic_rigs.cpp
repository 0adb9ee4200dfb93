#include "mimic_rigs.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_state.h"

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

std::string bladeParent(const MimicRig& rig) {
  switch (rig.mount) {
    case BladeMount::hub:
      return "hub_link";
    case BladeMount::base:
      return "base_link";
    case BladeMount::spread:
      return "spread_link";
  }
  return "";
}

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
  if (rig.mount == BladeMount::spread) {
    text += boxLink("spread_link", "0.04 0.04 0.02", "0 0 0.08");
    text += joint(rig.spread_joint, "revolute", "base_link", "spread_link", "0 0 0.02", revolute(3.1));
  }
  // The blade's own limits never bind: it goes where its source takes it.
  text += joint(rig.blade_joint, rig.blade_slides ? "prismatic" : "revolute", bladeParent(rig), "blade_link",
                rig.mount == BladeMount::base ? "0.6 0 0.12" : "0 0 0.1",
                (rig.blade_slides ? moving("0 1 0", 100.0) : revolute(100.0)) + mimic.str());
  if (rig.wrist) {
    text += boxLink("paddle_link", "0.1 0.01 0.01", "0.05 0 0");
    text += joint("wrist", "revolute", "blade_link", "paddle_link", "0.31 0 0", revolute(3.1));
  }
  return text + "</robot>\n";
}

// The group "arm"; as a whole, with every joint that moves on its own.
std::string rigSrdf(const MimicRig& rig, bool whole) {
  std::string text = "<?xml version=\"1.0\"?>\n<robot name=\"mimic_rig\">\n  <group name=\"arm\">\n";
  const auto add = [&text](const std::string& joint) { text += "    <joint name=\"" + joint + "\"/>\n"; };
  if (whole || rig.turn_in_group) add("turn");
  if (rig.mount == BladeMount::spread && (whole || rig.spread_in_group)) add(rig.spread_joint);
  if (rig.blade_in_group) add(rig.blade_joint);
  if (rig.wrist) add("wrist");
  text += "  </group>\n";
  text += "  <virtual_joint name=\"virtual_joint\" type=\"fixed\" parent_frame=\"world\" child_link=\"base_link\"/>\n";
  const auto disable = [&text](const std::string& a, const std::string& b) {
    text += "  <disable_collisions link1=\"" + a + "\" link2=\"" + b + "\" reason=\"Adjacent\"/>\n";
  };
  disable("base_link", "hub_link");
  disable("hub_link", "post_link");
  if (rig.mount == BladeMount::spread) {
    disable("base_link", "spread_link");
    disable("hub_link", "spread_link");
  }
  disable(bladeParent(rig), "blade_link");
  if (rig.wrist) disable("blade_link", "paddle_link");
  return text + "</robot>\n";
}

}  // namespace

JudgedMimicRig makeJudgedMimicRig(const MimicRig& rig, double robot_padding) {
  std::string folder = (std::filesystem::temp_directory_path() / "mimic_rig_XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) throw std::runtime_error("cannot make a folder for the mimic rig");
  // The scenes read the files as they are made.
  const struct Removed {
    std::string folder;
    ~Removed() { std::filesystem::remove_all(folder); }
  } removed{folder};
  std::ofstream(folder + "/rig.urdf") << rigUrdf(rig);
  std::ofstream(folder + "/rig.srdf") << rigSrdf(rig, false);
  std::ofstream(folder + "/whole.srdf") << rigSrdf(rig, true);
  const auto scene = [&](const char* srdf) {
    return std::make_unique<ManipulatorPlanScene>(folder + "/", "rig.urdf", srdf, "arm", robot_padding, 1.0);
  };
  JudgedMimicRig judged{scene("rig.srdf"), scene("whole.srdf"), {}, {}, {}};
  const robot_model::core::JointModelGroup& whole = *judged.judge->getPlanningGroup();
  const robot_model::core::RobotState fresh(judged.judge->getRobotModel());
  for (const int variable : whole.getVariableIndexList()) {
    judged.defaults.push_back(fresh.getVariablePositions()[variable]);
  }
  judged.bounds = jointBounds(*judged.judge);
  std::vector<bool> planned(judged.defaults.size(), false);
  for (const std::string& name : judged.tested->getPlanningGroup()->getVariableNames()) {
    judged.slots.push_back(static_cast<std::size_t>(whole.getVariableGroupIndex(name)));
    planned[judged.slots.back()] = true;
  }
  for (std::size_t i = 0; i < planned.size(); ++i) {
    if (!planned[i]) judged.bounds[i] = {judged.defaults[i], judged.defaults[i]};
  }
  return judged;
}

Joints JudgedMimicRig::testedValues(const Joints& judged) const {
  Joints values;
  for (const std::size_t slot : slots) values.push_back(judged[slot]);
  return values;
}

Joints JudgedMimicRig::judgedValues(const Joints& tested) const { return placed(tested, defaults); }

Joints JudgedMimicRig::judgedDirection(const Joints& tested) const {
  return placed(tested, Joints(defaults.size(), 0.0));
}

Joints JudgedMimicRig::placed(const Joints& tested, Joints judged) const {
  for (std::size_t i = 0; i < slots.size(); ++i) judged[slots[i]] = tested[i];
  return judged;
}
