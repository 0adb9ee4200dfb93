// The fine motion check: a straight motion tested so densely that no point of the robot or of what it
// carries moves more than half the link padding between two tested states.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "planning/manipulator_plan_scene.h"
#include "robot_model/core/aabb.h"
#include "robot_model/core/revolute_joint_model.h"

namespace {

// Without padding there is no slack to bound; tested states are then as close as with 1 cm.
constexpr double kLeastPadding = 0.01;

// Whether the joint's motion carries the link: the link's chain to the root passes the joint. The subtree of a joint
// that mimics it elsewhere in the tree is not carried: that joint moves it on its own account.
bool carries(const robot_model::core::JointModel& joint, const robot_model::core::LinkModel* link) {
  for (; link != nullptr; link = link->getParentLinkModel()) {
    if (link->getParentJointModel() == &joint) return true;
  }
  return false;
}

}  // namespace

std::vector<ManipulatorPlanScene::BoundingSphere> ManipulatorPlanScene::paddedGeometrySpheres(double padding) const {
  // Shapes are scaled about their own centres; a scale below 1 is bounded as 1.
  const double scale = std::max(robot_scale_, 1.0);
  std::vector<BoundingSphere> spheres;
  for (const robot_model::core::LinkModel* link : robot_model_->getLinkModelsWithCollisionGeometry()) {
    spheres.push_back({link, nullptr, link->getCenteredBoundingBoxOffset(),
                       0.5 * link->getShapeExtentsAtOrigin().norm() * scale + padding,
                       0.5 * link->getShapeExtentsAtOrigin()});
  }
  // A body's points move with its link like the link's own, padded as the link is.
  for (const auto& entry : robot_state_->getAttachedBodies()) {
    const robot_model::core::AttachedBody& body = *entry.second;
    robot_model::core::AABB box;
    for (std::size_t k = 0; k < body.shapes_.size(); ++k) box.extendWithShape(body.shape_poses_[k], *body.shapes_[k]);
    if (!box.isEmpty()) {
      spheres.push_back(
          {body.parent_link_, &body, box.center(), 0.5 * box.sizes().norm() * scale + padding, 0.5 * box.sizes()});
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

  fine_motion_spheres_ = paddedGeometrySpheres(most_padding);
  std::vector<PairClosingRates::Body> bodies;
  for (const BoundingSphere& sphere : fine_motion_spheres_) bodies.push_back({sphere.link, sphere.attached});
  // Every joint that moves with the group's variables: its active joints, then the mimic joints that follow them,
  // in the group or beyond it, each driven by its source's variable.
  const auto& active_joints = joint_model_group_->getActiveJointModels();
  const auto& start_index = joint_model_group_->getActiveJointModelStartIndex();
  fine_motion_joints_.clear();
  const auto add_mover = [this](const robot_model::core::JointModel* joint, int variable, double factor) {
    FineMotionJoint entry;
    entry.joint = joint;
    entry.first_variable = static_cast<std::size_t>(variable);
    entry.factor = factor;
    fine_motion_joints_.push_back(std::move(entry));
  };
  for (std::size_t j = 0; j < active_joints.size(); ++j) add_mover(active_joints[j], start_index[j], 1.0);
  for (const robot_model::core::JointModel* mimic : robot_model_->getMimicJointModels()) {
    const auto source = std::find(active_joints.begin(), active_joints.end(), mimic->getMimic());
    if (source != active_joints.end()) {
      add_mover(mimic, start_index[source - active_joints.begin()], std::fabs(mimic->getMimicFactor()));
    }
  }
  closing_rates_.reset(bodies, robot_model_->getLinkModelCount(), fine_motion_joints_.size());
  for (std::size_t j = 0; j < fine_motion_joints_.size(); ++j) {
    FineMotionJoint& entry = fine_motion_joints_[j];
    const robot_model::core::JointModel& joint = *entry.joint;
    entry.sphere_reach.assign(fine_motion_spheres_.size(), 0.0);
    entry.box_axis_sums.assign(fine_motion_spheres_.size(), 0.0);
    for (std::size_t s = 0; s < fine_motion_spheres_.size(); ++s) {
      const BoundingSphere& sphere = fine_motion_spheres_[s];
      if (!carries(joint, sphere.link)) continue;
      entry.spheres.push_back(s);
      entry.sphere_reach[s] = robot_model::core::chainLength(sphere.link, joint.getChildLinkModel()) +
                              sphere.centre.norm() + sphere.radius;
      entry.chain_reach = std::max(entry.chain_reach, entry.sphere_reach[s]);
      closing_rates_.setMoves(j, s);
    }
    for (std::size_t k = 0; k < fine_motion_joints_.size(); ++k) {
      if (k != j && carries(joint, fine_motion_joints_[k].joint->getChildLinkModel())) entry.downstream.push_back(k);
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
    const auto from_axis = [&axis](const Eigen::Vector3d& offset) { return (offset - offset.dot(axis) * axis).norm(); };
    double reach = 0.0;
    for (const std::size_t s : entry.spheres) {
      const BoundingSphere& sphere = fine_motion_spheres_[s];
      const Eigen::Isometry3d& pose = robot_state_->getGlobalLinkTransform(sphere.link);
      const Eigen::Vector3d offset = pose * sphere.centre - frame.translation();
      reach = std::max(reach, from_axis(offset) + sphere.radius);
      // A box is farthest from a line at a corner.
      double box_distance = 0.0;
      for (int corner = 0; corner < 8; ++corner) {
        const Eigen::Vector3d signs(corner & 1 ? 1.0 : -1.0, corner & 2 ? 1.0 : -1.0, corner & 4 ? 1.0 : -1.0);
        box_distance =
            std::max(box_distance, from_axis(offset + pose.linear() * signs.cwiseProduct(sphere.half_extents)));
      }
      entry.box_axis_sums[s] = sign > 0.0 ? box_distance : entry.box_axis_sums[s] + box_distance;
    }
    entry.axis_reach_sum = sign > 0.0 ? reach : entry.axis_reach_sum + reach;
  }
}

double ManipulatorPlanScene::variableChange(const FineMotionJoint& entry, const double* from, const double* to,
                                           std::size_t variable) {
  return entry.factor * std::fabs(to[entry.first_variable + variable] - from[entry.first_variable + variable]);
}

double ManipulatorPlanScene::jointPointMotion(const FineMotionJoint& entry, const double* from, const double* to,
                                              double reach) {
  double motion = 0.0;
  for (std::size_t v = 1; v < entry.joint->getVariableCount(); ++v) {
    motion += variableChange(entry, from, to, v) * (1.0 + reach);
  }
  const double delta = variableChange(entry, from, to, 0);
  switch (entry.joint->getType()) {
    case robot_model::core::JointModel::PRISMATIC:
      return motion + delta;
    case robot_model::core::JointModel::REVOLUTE:
      return motion + delta * reach;
    default:
      return motion + delta * (1.0 + reach);
  }
}

double ManipulatorPlanScene::axisBoundedPointMotion(const FineMotionJoint& entry, const double* from, const double* to,
                                                    double reach, double axis_distance_sum, double growth) {
  const double motion = jointPointMotion(entry, from, to, reach);
  if (entry.joint->getType() != robot_model::core::JointModel::REVOLUTE) return motion;
  const double delta = variableChange(entry, from, to, 0);
  return std::min(motion, delta * (0.5 * (axis_distance_sum + growth)));
}

double ManipulatorPlanScene::pointMotionBound(const double* from, const double* to) {
  // A point's distance from a revolute joint's axis changes only with the joints beyond it, at most by
  // as far as they move the point, each as it would alone (a slide by its whole travel): from both ends of
  // the motion, it is bounded by (distance at `from` + distance at `to` + that growth) / 2, and by the
  // joint's reach in any configuration. A translation moves every point by its own length.
  addAxisDistances(from, 1.0);
  addAxisDistances(to, -1.0);
  double motion = 0.0;
  for (const FineMotionJoint& entry : fine_motion_joints_) {
    double growth = 0.0;
    for (const std::size_t k : entry.downstream) {
      const FineMotionJoint& beyond = fine_motion_joints_[k];
      if (!beyond.spheres.empty()) growth += jointPointMotion(beyond, from, to, beyond.chain_reach);
    }
    motion += axisBoundedPointMotion(entry, from, to, entry.chain_reach, entry.axis_reach_sum, growth);
  }
  return motion;
}

void ManipulatorPlanScene::updateClosingRates(const double* from, const double* to) {
  // As pointMotionBound, per body: the reach of its sphere, the distances of its unpadded box from the axes,
  // and only the joints beyond that move it adding to them.
  for (std::size_t j = 0; j < fine_motion_joints_.size(); ++j) {
    const FineMotionJoint& entry = fine_motion_joints_[j];
    for (const std::size_t s : entry.spheres) {
      double growth = 0.0;
      for (const std::size_t k : entry.downstream) {
        const FineMotionJoint& beyond = fine_motion_joints_[k];
        if (closing_rates_.moves(k, s)) growth += jointPointMotion(beyond, from, to, beyond.sphere_reach[s]);
      }
      closing_rates_.setRate(
          j, s, axisBoundedPointMotion(entry, from, to, entry.sphere_reach[s], entry.box_axis_sums[s], growth));
    }
  }
  closing_rates_.settlePairs();
}

bool ManipulatorPlanScene::checkMotionFinely(const double* from, const double* to) {
  self_walk_states_ = 0;
  if (joint_model_group_ == nullptr) return false;
  for (std::size_t i = 0; i < variable_distance_factors_.size(); ++i) {
    if (!std::isfinite(from[i]) || !std::isfinite(to[i])) return false;
  }
  if (robot_state_->getAttachedBodyChangeCount() != fine_motion_attached_changes_) updateFineMotionBound();
  const double motion = pointMotionBound(from, to);
  if (!(std::ceil(motion / fine_motion_step_) <= kMaxMotionSegments)) {
    printf("checkMotionFinely: the motion cannot be tested in at most %d segments.\n", kMaxMotionSegments);
    return false;
  }
  updateClosingRates(from, to);
  return checkFineStates(from, to, motion) && checkSelfMotionFinely(from, to);
}

bool ManipulatorPlanScene::checkFineStates(const double* from, const double* to, double motion) {
  // At least `to` is tested, as by checkMotion.
  const int fine_count = std::max(1, static_cast<int>(std::ceil(motion / fine_motion_step_)));
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
