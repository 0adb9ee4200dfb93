// The fine motion check: a straight motion tested so densely that no point of the robot moves more than
// half the link padding between two tested states.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "planning/manipulator_plan_scene.h"

namespace {

// Without padding there is no slack to bound; tested states are then as close as with 1 cm.
constexpr double kLeastPadding = 0.01;

// Radius about the link's origin of a sphere holding its collision geometry.
double linkRadius(const robot_model::core::LinkModel& link, double scale) {
  return (link.getCenteredBoundingBoxOffset().norm() + 0.5 * link.getShapeExtentsAtOrigin().norm()) * scale;
}

// Farthest the origin of `link` can be from the origin of `ancestor`: the joint offsets and prismatic
// travels in between, added up.
double chainLength(const robot_model::core::LinkModel* link, const robot_model::core::LinkModel* ancestor) {
  double length = 0.0;
  for (; link != nullptr && link != ancestor; link = link->getParentLinkModel()) {
    length += link->getJointOriginTransform().translation().norm();
    const robot_model::core::JointModel* joint = link->getParentJointModel();
    if (joint != nullptr && joint->getType() == robot_model::core::JointModel::PRISMATIC) {
      for (const robot_model::core::VariableBounds& bounds : joint->getVariableBounds()) {
        length += std::max(std::fabs(bounds.min_position_), std::fabs(bounds.max_position_));
      }
    }
  }
  return length;
}

}  // namespace

void ManipulatorPlanScene::updateFineMotionBound() {
  double least_padding = std::numeric_limits<double>::infinity();
  double most_padding = 0.0;
  for (const std::string& name : robot_model_->getLinkModelNamesWithCollisionGeometry()) {
    const double padding = collision_robot_padded_->getLinkPadding(name);
    least_padding = std::min(least_padding, padding);
    most_padding = std::max(most_padding, padding);
  }
  fine_motion_step_ = 0.5 * std::max(least_padding, kLeastPadding);

  // Per variable: how far any point of the padded geometry beyond its joint can move per unit of motion.
  const double scale = std::max(robot_scale_, 1.0);
  variable_point_motion_.assign(joint_model_group_->getVariableCount(), 0.0);
  const auto& active_joints = joint_model_group_->getActiveJointModels();
  const auto& start_index = joint_model_group_->getActiveJointModelStartIndex();
  for (std::size_t j = 0; j < active_joints.size(); ++j) {
    const robot_model::core::JointModel& joint = *active_joints[j];
    double reach = 0.0;
    for (const robot_model::core::LinkModel* link : joint.getDescendantLinkModels()) {
      reach = std::max(reach, chainLength(link, joint.getChildLinkModel()) + linkRadius(*link, scale) + most_padding);
    }
    const double per_unit = joint.getType() == robot_model::core::JointModel::REVOLUTE    ? reach
                            : joint.getType() == robot_model::core::JointModel::PRISMATIC ? 1.0
                                                                                            : 1.0 + reach;
    for (std::size_t v = 0; v < joint.getVariableCount(); ++v) variable_point_motion_[start_index[j] + v] = per_unit;
  }
}

int ManipulatorPlanScene::fineSegmentCount(const double* from, const double* to) const {
  if (joint_model_group_ == nullptr) return -1;
  double motion = 0.0;
  for (std::size_t i = 0; i < variable_point_motion_.size(); ++i) {
    motion += std::fabs(to[i] - from[i]) * variable_point_motion_[i];
  }
  const double segments = std::ceil(motion / fine_motion_step_);
  if (!(segments <= kMaxMotionSegments)) return -1;
  return static_cast<int>(segments);
}

bool ManipulatorPlanScene::checkMotionFinely(const double* from, const double* to) {
  return checkStraightMotion(from, to, fineSegmentCount(from, to), &ManipulatorPlanScene::isStateValid);
}
