// The planner's questions: limits, state validity and straight-motion validity.
#include <cmath>
#include <cstdio>
#include <limits>

#include "planning/manipulator_plan_scene.h"

int ManipulatorPlanScene::getJointLimits(std::vector<std::pair<double, double>>& bounds) {
  bounds.clear();
  if (joint_model_group_ == nullptr) return -1;
  const unsigned int v = joint_model_group_->getVariableCount();
  if (v == 0) {
    vmax_.clear();
    amax_.clear();
    return 0;
  }
  const int code = plannedJointBounds(bounds, true);
  if (code < 0) return code;
  const auto& joints = joint_model_group_->getJointModels();
  vmax_.resize(v);
  amax_.resize(v);
  for (unsigned int i = 0; i < v; ++i) {
    vmax_[i] = joints[i]->getVariableBounds()[0].max_velocity_;
    amax_[i] = 3.0;
  }
  return static_cast<int>(bounds.size());
}

int ManipulatorPlanScene::plannedJointBounds(std::vector<std::pair<double, double>>& bounds, bool report) const {
  const unsigned int v = joint_model_group_->getVariableCount();
  const auto& joints = joint_model_group_->getJointModels();
  bounds.clear();
  for (unsigned int i = 0; i < v; ++i) {
    const robot_model::core::JointModel::Bounds& joint_bounds = joints[i]->getVariableBounds();
    if (joint_bounds.size() > 1) {
      if (report) printf("The dof of joint is > 1! ");
      return -2;
    }
    if (joint_bounds.empty()) {
      if (report) printf("The bound is not defined! ");
      return -3;
    }
    // The wrist joint's controller range, whatever the description says.
    if (i == 5) {
      bounds.emplace_back(-6.28, 6.28);
    } else {
      bounds.emplace_back(joint_bounds[0].min_position_, joint_bounds[0].max_position_);
    }
  }
  return static_cast<int>(bounds.size());
}

int ManipulatorPlanScene::getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) {
  if (vmax_.empty() || amax_.empty()) return 0;
  vmax = vmax_;
  amax = amax_;
  return static_cast<int>(vmax_.size());
}

double ManipulatorPlanScene::getMaximumExtent() { return robot_model_->getMaximumExtent(); }

bool ManipulatorPlanScene::isStateValid(const double* state) {
  return checkState(state, *collision_robot_padded_, *collision_robot_unpadded_, valid_states_);
}

bool ManipulatorPlanScene::isStateValidWithMargin(const double* state) {
  return checkState(state, *collision_robot_margin_, *collision_robot_margin_self_, margin_valid_states_);
}

void ManipulatorPlanScene::beginQuery() {
  forgetValidStates();
  in_query_ = true;
}

void ManipulatorPlanScene::endQuery() {
  // Between queries the owner may change the octree in place or the attached bodies, unseen by the scene.
  in_query_ = false;
  forgetValidStates();
}

void ManipulatorPlanScene::forgetValidStates() {
  valid_states_.clear();
  margin_valid_states_.clear();
  coarse_valid_states_.clear();
}

bool ManipulatorPlanScene::checkState(const double* state, const collision_detection::CollisionRobotFCL& world_robot,
                                      const collision_detection::CollisionRobotFCL& self_robot, ValidStateMemo& memo) {
  if (joint_model_group_ == nullptr || state == nullptr) return false;
  const unsigned int count = joint_model_group_->getVariableCount();
  for (unsigned int i = 0; i < count; ++i) {
    if (!std::isfinite(state[i]) || state[i] < state_bounds_[i].first || state[i] > state_bounds_[i].second) {
      return false;
    }
  }
  if (in_query_ && memo.contains(state)) return true;
  const bool valid = checkCollision(state, world_robot, self_robot);
  if (valid && in_query_) memo.insert(state);
  return valid;
}

bool ManipulatorPlanScene::checkCollision(const double* state,
                                          const collision_detection::CollisionRobotFCL& world_robot,
                                          const collision_detection::CollisionRobotFCL& self_robot) {
  robot_state_->setJointGroupPositions(joint_model_group_, state);
  robot_state_->updateCollisionBodyTransforms();

  collision_result_.collision = false;
  collision_result_.distance = std::numeric_limits<double>::max();
  collision_result_.contact_count = 0;
  collision_result_.contacts.clear();
  collision_result_.cost_sources.clear();
  collision_world_->checkRobotCollision(collision_request_, collision_result_, world_robot, *robot_state_, *acm_);
  if (!collision_result_.collision ||
      (collision_request_.contacts && collision_result_.contact_count < collision_request_.max_contacts)) {
    self_robot.checkSelfCollision(collision_request_, collision_result_, *robot_state_, *acm_);
  }
  return !collision_result_.collision;
}

int ManipulatorPlanScene::validSegmentCount(const double* from, const double* to) const {
  if (joint_model_group_ == nullptr) return -1;
  double distance = 0.0;
  for (std::size_t i = 0; i < variable_distance_factors_.size(); ++i) {
    distance += std::fabs(to[i] - from[i]) * variable_distance_factors_[i];
  }
  const double segments = std::ceil(distance / longest_valid_segment_) * segment_count_factor_;
  // Also refuses NaN. Within the joint bounds a motion needs far fewer segments; more could not be tested
  // in reasonable time.
  if (!(segments <= kMaxMotionSegments)) return -1;
  return static_cast<int>(segments);
}

bool ManipulatorPlanScene::checkMotion(const double* from, const double* to) {
  return checkStraightMotion(from, to, validSegmentCount(from, to), &ManipulatorPlanScene::isStateValid);
}

bool ManipulatorPlanScene::checkMotionWithMargin(const double* from, const double* to) {
  return checkStraightMotion(from, to, validSegmentCount(from, to), &ManipulatorPlanScene::isStateValidWithMargin);
}

bool ManipulatorPlanScene::checkStraightMotion(const double* from, const double* to, int segment_count,
                                               bool (ManipulatorPlanScene::*is_valid)(const double*)) {
  if (segment_count < 0) {
    if (joint_model_group_ != nullptr) {
      printf("checkMotion: the motion cannot be tested in at most %d segments.\n", kMaxMotionSegments);
    }
    return false;
  }
  // Called through the member pointer, so an override in a derived scene is used.
  return motion_bisection_.check(
      to, segment_count, [this, is_valid](const double* state) { return (this->*is_valid)(state); },
      [this, from, to](double t) { return interpolateRaw(from, to, t); });
}

const double* ManipulatorPlanScene::interpolateRaw(const double* from, const double* to, double t) {
  const std::size_t count = variable_distance_factors_.size();
  for (std::size_t i = 0; i < count; ++i) {
    planning_group_state_[i] = from[i] + (to[i] - from[i]) * t;
  }
  for (const robot_model::core::GroupMimicUpdate& update : joint_model_group_->getMimicUpdates()) {
    planning_group_state_[update.dest] = planning_group_state_[update.src] * update.factor + update.offset;
  }
  return planning_group_state_;
}
