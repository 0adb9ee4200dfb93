#pragma once

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "arms_and_sticks.h"
#include "collision_detection/allowed_collision_matrix.h"
#include "collision_detection/collision_robot_fcl.h"
#include "planning/manipulator_plan_scene.h"

// Motions through a self-contact, found and judged with isStateValid sampled densely, for the fine motion check's
// property tests.

using Joints = std::vector<double>;

// Radians: how far apart on every joint the judged states are.
constexpr double kJudgeStep = 0.0005;

// `steps` judge steps from `q` along `direction`, whose largest component is 1 in size.
Joints along(const Joints& q, const Joints& direction, int steps);
// The largest turn of any joint between the two states.
double widestTurn(const Joints& from, const Joints& to);
bool withinBounds(const Joints& q, const JointBounds& bounds);

// On the straight motion from a valid state to one in self-contact, a refused judge sample next to a valid one,
// found by bisection: a contact as shallow as the sampling finds.
Joints shallowContact(ManipulatorPlanScene& scene, const Joints& valid, const Joints& refused);

// Whether isStateValid accepts every state at most `step` apart on every joint on the straight motion.
bool validEverywhere(ManipulatorPlanScene& scene, const Joints& from, const Joints& to, double step = kJudgeStep);

// How deep the robot's bodies reach into each other at a state: the deepest contact FCL finds between the pairs the
// scene's self test checks, on the unpadded geometry with whatever the scene's state carries; 0 where none touch.
class PenetrationDepth {
 public:
  explicit PenetrationDepth(ManipulatorPlanScene& scene);
  double at(const Joints& q);

 private:
  ManipulatorPlanScene& scene_;
  collision_detection::CollisionRobotFCL robot_;
  collision_detection::AllowedCollisionMatrix acm_;
  collision_detection::CollisionRequest request_;
};

// Whether a state isStateValid refuses, at most `step` apart from the next on every joint on the straight motion,
// is in a self-contact deeper than the fine motion check's resolution; the middle is tried first. Bodies that touch
// as they slide along each other make isStateValid answer either way from one state to the next.
bool holdsDeepContact(ManipulatorPlanScene& scene, PenetrationDepth& depth, const Joints& from, const Joints& to,
                      double step = kJudgeStep);

// Two draws in three turn one joint only, the others several; the joint turning most turns by 1.
Joints drawDirection(std::size_t joints, int draw, std::mt19937& rng);

struct Motion {
  Joints from;
  Joints to;
};

// Through a state in self-contact along `direction`, from the nearest valid state behind it to the nearest ahead; none
// when either lies farther than 0.3 rad or beyond the bounds.
std::optional<Motion> motionThrough(ManipulatorPlanScene& scene, const JointBounds& bounds, const Joints& contact,
                                    const Joints& direction);

// Exactly, so that the motion can be tried again.
std::string motionText(const Motion& motion);
