#pragma once

#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "planning/manipulator_plan_scene.h"
#include "robot_model/core/attached_body.h"

// The arms the fine motion check is tried on, bare or carrying a stick, and the states drawn for them.
struct ArmAndStick {
  std::string name;
  bool arm6;
  double stick_length;  // 0: the arm bare
  bool across;
  unsigned seed;
};
void PrintTo(const ArmAndStick& c, std::ostream* out);
// arm6 and then arm5, each bare and then with sticks of 0.3, 0.45 and 0.6 m along the tool and then across it; the
// seeds count up from `first_seed`.
std::vector<ArmAndStick> armsAndSticks(unsigned first_seed);
std::unique_ptr<ManipulatorPlanScene> makeArmScene(const ArmAndStick& c, double robot_padding);

// The link the node attaches what it carries to: the planning group's last.
const robot_model::core::LinkModel* toolLink(const ManipulatorPlanScene& scene);
// A stick of square section in the tool link's frame: along the tool from the tool point outwards, or across it
// with its middle just beyond the tool point. The tool points along the group's last joint axis.
std::unique_ptr<robot_model::core::AttachedBody> stick(const ManipulatorPlanScene& scene, double length, bool across);

using JointBounds = std::vector<std::pair<double, double>>;
// The scene's planned joint ranges, which also sets its velocity and acceleration limits.
JointBounds jointBounds(ManipulatorPlanScene& scene);
// Uniform within the bounds or, when `special`, every joint from 0, +-pi/2, +-pi and its bounds where within them.
std::vector<double> drawState(const JointBounds& bounds, bool special, std::mt19937& rng);
