#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "arms_and_sticks.h"
#include "contact_motions.h"
#include "planning/manipulator_plan_scene.h"

// Rigs of boxes with a mimic joint. A hub turns about z (joint "turn", within +-3.1 rad) and carries a thin upright
// post 0.3 m out; a blade 0.31 m long turns about z too (joint `blade_joint`), mimicking the hub's joint: on the hub
// above its axis, where it sweeps through the post, on the base 0.6 m out, its tip over the post's circle, or at the
// same height on a small plate just above the hub that a spread joint turns about the hub's axis on a branch of its
// own (within +-3.1 rad). A wrist at the blade's end may turn a 0.1 m paddle (joint "wrist", active). The blade and
// the paddle are 1 cm thick. A blade on the hub may slide sideways instead (metres per radian of the hub's turn),
// across the post's line.
enum class BladeMount { hub, base, spread };
struct MimicRig {
  double multiplier;
  double offset;
  BladeMount mount;
  // Else the blade follows the group from outside it.
  bool blade_in_group;
  bool wrist;
  // The model walks a link's joints in name order: on the base, the blade is reached from the hub's joint through
  // the mimic link first when its joint's name sorts after "turn".
  std::string blade_joint = "blade_turn";
  bool blade_slides = false;
  // The spread joint; the walk reaches the blade from the hub's joint first when its name sorts after "turn".
  std::string spread_joint = "spread";
  // Else the hub's or the spread joint stays at its default, driven by nothing the group plans.
  bool turn_in_group = true;
  bool spread_in_group = true;
};

// The rig's scene for its group "arm" (the hub's joint, the spread joint, the blade's when in the group, and "wrist"),
// and a scene of the same rig that judges its states: its group also drives the joints the tested one leaves out,
// which stay at their defaults. Motions are drawn and judged on the judge's variables and tried on the tested ones.
struct JudgedMimicRig {
  std::unique_ptr<ManipulatorPlanScene> tested;
  std::unique_ptr<ManipulatorPlanScene> judge;
  // The judge's planned ranges, closed to the default on the variables the tested group lacks.
  JointBounds bounds;
  Joints defaults;
  // The judge's variable of each tested one.
  std::vector<std::size_t> slots;

  Joints testedValues(const Joints& judged) const;
  Joints judgedValues(const Joints& tested) const;
  // Still on the variables the tested group lacks.
  Joints judgedDirection(const Joints& tested) const;

 private:
  Joints placed(const Joints& tested, Joints judged) const;
};

JudgedMimicRig makeJudgedMimicRig(const MimicRig& rig, double robot_padding);
