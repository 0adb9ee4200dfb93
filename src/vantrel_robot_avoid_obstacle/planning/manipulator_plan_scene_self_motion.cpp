// The fine motion check against the robot itself: a state vouches for the motion as far as no two of its bodies
// can have closed the distance between them, so states are tested densely only where bodies are near.
#include <algorithm>
#include <cstdio>

#include "planning/manipulator_plan_scene.h"

bool ManipulatorPlanScene::checkSelfMotionFinely(const double* from, const double* to) {
  for (double t = 0.0;;) {
    // A pair that stays within a hair's breadth along a long, fast motion would take this many states to prove.
    if (++self_walk_states_ > static_cast<std::size_t>(kMaxMotionSegments)) {
      printf("checkMotionFinely: the motion cannot be tested against the robot itself in at most %d states.\n",
             kMaxMotionSegments);
      return false;
    }
    robot_state_->setJointGroupPositions(joint_model_group_, interpolateRaw(from, to, t));
    robot_state_->updateCollisionBodyTransforms();
    const double progress = collision_robot_unpadded_->progressToSelfContact(collision_request_, *robot_state_, *acm_,
                                                                             closing_rates_, 1.0 - t,
                                                                             kSelfContactResolution);
    if (!(progress >= 0.0)) return false;
    if (t >= 1.0) return true;
    t = std::min(1.0, t + progress);
  }
}
