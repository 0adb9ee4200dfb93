#pragma once

#include <memory>
#include <string>

#include "planning/manipulator_plan_scene.h"

// Rigs of boxes with a mimic joint. A hub turns about z (joint "turn", within +-3.1 rad) and carries a thin upright
// post 0.3 m out; a blade 0.31 m long turns about z too (joint `blade_joint`), mimicking the hub's joint: on the hub
// above its axis, where it sweeps through the post, or on the base 0.6 m out, its tip over the post's circle. A wrist
// at the blade's end may turn a 0.1 m paddle (joint "wrist", active). The blade and the paddle are 1 cm thick. A blade
// on the hub may slide sideways instead (metres per radian of the hub's turn), across the post's line.
struct MimicRig {
  double multiplier;
  double offset;
  bool blade_on_hub;
  // Else the group holds the active joints only and the blade follows from outside it.
  bool blade_in_group;
  bool wrist;
  // The model walks a link's joints in name order: on the base, the blade is reached from the hub's joint through
  // the mimic link first when its joint's name sorts after "turn".
  std::string blade_joint = "blade_turn";
  bool blade_slides = false;
};

// The rig's scene, its group "arm" holding "turn", the blade's joint when in the group, and "wrist".
std::unique_ptr<ManipulatorPlanScene> makeMimicRigScene(const MimicRig& rig, double robot_padding);
