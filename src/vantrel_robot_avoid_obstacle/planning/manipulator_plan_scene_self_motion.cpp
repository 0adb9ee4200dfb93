// The fine motion check against the robot itself: a state vouches for the motion as far as no two of its bodies
// can have closed the distance between them, so states are tested densely only where bodies are near.
#include <algorithm>

#include "planning/manipulator_plan_scene.h"

bool ManipulatorPlanScene::checkSelfMotionFinely(const double* from, const double* to) {
  // Stepping no less than this, no pair closes in by more than the resolution between two tested states.
  const double least_step = kSelfContactResolution / closing_rates_.fastest();
  for (double t = 0.0;;) {
    ++self_walk_states_;
    robot_state_->setJointGroupPositions(joint_model_group_, interpolateRaw(from, to, t));
    robot_state_->updateCollisionBodyTransforms();
    // Any horizon will do at `to`; the least step prunes the most pairs.
    const double progress = collision_robot_unpadded_->progressToSelfContact(
        collision_request_, *robot_state_, *acm_, closing_rates_, std::max(1.0 - t, least_step));
    if (!(progress >= 0.0)) return false;
    if (t >= 1.0) return true;
    t = std::min(1.0, t + std::max(progress, least_step));
  }
}
