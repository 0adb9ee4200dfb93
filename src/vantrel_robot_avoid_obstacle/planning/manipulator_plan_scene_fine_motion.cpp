// The fine motion check: a straight motion tested so densely that no point of the robot or of what it
// carries moves more than half the link padding between two tested states.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "planning/manipulator_plan_scene.h"
#include "robot_model/core/aabb.h"
#include "robot_model/core/revolute_joint_model.h"

namespace {

// Without padding there is no slack to bound; tested states are then as close as with 1 cm.
constexpr double kLeastPadding = 0.01;

}  // namespace

std::vector<ManipulatorPlanScene::BoundingSphere> ManipulatorPlanScene::paddedGeometrySpheres(double padding) const {
  // Shapes are scaled about their own centres; a scale below 1 is bounded as 1.
  const double scale = std::max(robot_scale_, 1.0);
  std::vector<BoundingSphere> spheres;
  for (const robot_model::core::LinkModel* link : robot_model_->getLinkModelsWithCollisionGeometry()) {
    spheres.push_back({link, link->getCenteredBoundingBoxOffset(),
                       0.5 * link->getShapeExtentsAtOrigin().norm() * scale + padding});
  }
  // A body's points move with its link like the link's own, padded as the link is.
  for (const auto& entry : robot_state_->getAttachedBodies()) {
    const robot_model::core::AttachedBody& body = *entry.second;
    robot_model::core::AABB box;
    for (std::size_t k = 0; k < body.shapes_.size(); ++k) box.extendWithShape(body.shape_poses_[k], *body.shapes_[k]);
    if (!box.isEmpty()) {
      spheres.push_back({body.parent_link_, box.center(), 0.5 * box.sizes().norm() * scale + padding});
    }
  }
  return spheres;
}

void ManipulatorPlanScene::updateFineMotionBound() {
  double least_padding = std::numeric_limits<double>::infinity();
  double most_padding = 0.0;
  for (const std::string& name : robot_model_->getLinkModelNamesWithCollisionGeometry()) {
    const double padding = collision_robot_padded_->getLinkPadding(name);
    least_padding = std::min(least_padding, padding);
    most_padding = std::max(most_padding, padding);
  }
  fine_motion_step_ = 0.5 * std::max(least_padding, kLeastPadding);
  most_link_padding_ = most_padding;
  fine_motion_attached_changes_ = robot_state_->getAttachedBodyChangeCount();

  const std::vector<BoundingSphere> spheres = paddedGeometrySpheres(most_padding);
  const auto& active_joints = joint_model_group_->getActiveJointModels();
  fine_motion_joints_.assign(active_joints.size(), FineMotionJoint());
  for (std::size_t j = 0; j < active_joints.size(); ++j) {
    const robot_model::core::JointModel& joint = *active_joints[j];
    const auto& descendants = joint.getDescendantLinkModels();
    FineMotionJoint& entry = fine_motion_joints_[j];
    entry.joint = &joint;
    entry.first_variable = joint_model_group_->getActiveJointModelStartIndex()[j];
    for (const BoundingSphere& sphere : spheres) {
      if (std::find(descendants.begin(), descendants.end(), sphere.link) == descendants.end()) continue;
      entry.spheres.push_back(sphere);
      entry.chain_reach = std::max(entry.chain_reach, robot_model::core::chainLength(sphere.link, joint.getChildLinkModel()) +
                                                          sphere.centre.norm() + sphere.radius);
    }
    for (std::size_t k = j + 1; k < active_joints.size(); ++k) {
      if (std::find(descendants.begin(), descendants.end(), active_joints[k]->getChildLinkModel()) !=
          descendants.end()) {
        entry.downstream.push_back(k);
      }
    }
  }
}

void ManipulatorPlanScene::addAxisDistances(const double* state, double sign) {
  robot_state_->setJointGroupPositions(joint_model_group_, state);
  robot_state_->updateCollisionBodyTransforms();
  for (FineMotionJoint& entry : fine_motion_joints_) {
    if (entry.joint->getType() != robot_model::core::JointModel::REVOLUTE) continue;
    const Eigen::Isometry3d& frame = robot_state_->getGlobalLinkTransform(entry.joint->getChildLinkModel());
    const Eigen::Vector3d axis =
        frame.linear() * static_cast<const robot_model::core::RevoluteJointModel*>(entry.joint)->getAxis().normalized();
    double reach = 0.0;
    for (const BoundingSphere& sphere : entry.spheres) {
      const Eigen::Vector3d offset =
          robot_state_->getGlobalLinkTransform(sphere.link) * sphere.centre - frame.translation();
      reach = std::max(reach, (offset - offset.dot(axis) * axis).norm() + sphere.radius);
    }
    entry.axis_reach_sum = sign > 0.0 ? reach : entry.axis_reach_sum + reach;
  }
}

double ManipulatorPlanScene::pointMotionBound(const double* from, const double* to) {
  // A point's distance from a revolute joint's axis changes only with the joints beyond it, at most by
  // what their motion can add: from both ends of the motion, it is bounded by
  // (distance at `from` + distance at `to` + that growth) / 2, and by the joint's reach in any
  // configuration. A translation moves every point by its own length.
  addAxisDistances(from, 1.0);
  addAxisDistances(to, -1.0);
  double motion = 0.0;
  for (const FineMotionJoint& entry : fine_motion_joints_) {
    const double delta = std::fabs(to[entry.first_variable] - from[entry.first_variable]);
    for (std::size_t v = 1; v < entry.joint->getVariableCount(); ++v) {
      motion += std::fabs(to[entry.first_variable + v] - from[entry.first_variable + v]) * (1.0 + entry.chain_reach);
    }
    if (entry.joint->getType() == robot_model::core::JointModel::PRISMATIC) {
      motion += delta;
    } else if (entry.joint->getType() != robot_model::core::JointModel::REVOLUTE) {
      motion += delta * (1.0 + entry.chain_reach);
    } else {
      double growth = 0.0;
      for (const std::size_t k : entry.downstream) {
        const FineMotionJoint& beyond = fine_motion_joints_[k];
        growth += std::fabs(to[beyond.first_variable] - from[beyond.first_variable]) * beyond.chain_reach;
      }
      motion += delta * std::min(entry.chain_reach, 0.5 * (entry.axis_reach_sum + growth));
    }
  }
  return motion;
}

bool ManipulatorPlanScene::checkMotionFinely(const double* from, const double* to) {
  if (joint_model_group_ == nullptr) return false;
  for (std::size_t i = 0; i < variable_distance_factors_.size(); ++i) {
    if (!std::isfinite(from[i]) || !std::isfinite(to[i])) return false;
  }
  if (robot_state_->getAttachedBodyChangeCount() != fine_motion_attached_changes_) updateFineMotionBound();
  const double motion = pointMotionBound(from, to);
  const double fine_segments = std::ceil(motion / fine_motion_step_);
  if (!(fine_segments <= kMaxMotionSegments)) {
    printf("checkMotionFinely: the motion cannot be tested in at most %d segments.\n", kMaxMotionSegments);
    return false;
  }
  // At least `to` is tested, as by checkMotion.
  const int fine_count = std::max(1, static_cast<int>(fine_segments));
  // A state free with the wider margin keeps the padded robot free for as far as the margin exceeds the
  // padding: only around states that fail it are the fine states tested.
  const double slack = margin_padding_ - most_link_padding_;
  if (slack <= fine_motion_step_) {
    return checkStraightMotion(from, to, fine_count, &ManipulatorPlanScene::isStateValid);
  }
  const int coarse_count = std::max(1, static_cast<int>(std::ceil(motion / (2.0 * slack))));
  for (int k = 0; k <= coarse_count; ++k) {
    const double t = static_cast<double>(k) / coarse_count;
    if (checkState(interpolateRaw(from, to, t), *collision_robot_margin_, *collision_robot_unpadded_,
                   coarse_valid_states_)) {
      continue;
    }
    const double half = 0.5 / coarse_count;
    const int first = std::max(1, static_cast<int>(std::floor((t - half) * fine_count)));
    const int last = std::min(fine_count, static_cast<int>(std::ceil((t + half) * fine_count)));
    for (int i = first; i <= last; ++i) {
      if (!isStateValid(interpolateRaw(from, to, static_cast<double>(i) / fine_count))) return false;
    }
  }
  return true;
}
