// Operations only the node calls: the obstacle octree and other world objects, a carried box, the arm's padding and
// the link transforms.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <limits>
#include <stdexcept>

#include <octomap/OcTree.h>

#include "collision_detection/collision_common.h"
#include "planning/manipulator_plan_scene.h"
#include "robot_model/shapes/shapes.h"

namespace {

const char* const kWorldOctomapId = "world_octomap";

builtin_interfaces::msg::Time systemClockNow() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch);
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<int32_t>(seconds.count());
  stamp.nanosec = static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch - seconds).count());
  return stamp;
}

}  // namespace

void ManipulatorPlanScene::updateWorldOctomap(const std::shared_ptr<const octomap::OcTree>& tree) {
  if (!tree) {
    puts("updateWorldOctomap: no octree given, the world is left as it is.");
    return;
  }
  if (!world_->objects_.empty()) {
    world_->clearObjects();
    // The FCL geometry cache is told of the removal while the objects still exist; only now can it let
    // go of their geometry, and with it of a replaced tree.
    collision_detection::cleanCollisionGeometryCache();
  }
  world_->addToObject(kWorldOctomapId, std::make_shared<const shapes::OcTree>(tree), Eigen::Isometry3d::Identity());
  forgetValidStates();
}

bool ManipulatorPlanScene::worldHoldsOctomap(const std::shared_ptr<const octomap::OcTree>& tree) const {
  auto entry = world_->objects_.find(kWorldOctomapId);
  if (!tree || entry == world_->objects_.end() || entry->second->shapes_.size() != 1) return false;
  const shapes::Shape& shape = *entry->second->shapes_.front();
  return shape.type == shapes::OCTREE && static_cast<const shapes::OcTree&>(shape).octree == tree;
}

bool ManipulatorPlanScene::placeWorldBox(const std::string& id, const Eigen::Vector3d& size,
                                         const Eigen::Isometry3d& pose) {
  std::shared_ptr<const shapes::Shape> box;
  try {
    box = std::make_shared<const shapes::Box>(size.x(), size.y(), size.z());
  } catch (const std::runtime_error& error) {
    printf("%s\n", error.what());
    return false;
  }
  removeWorldObject(id);
  world_->addToObject(id, box, pose);
  forgetValidStates();
  return true;
}

bool ManipulatorPlanScene::removeWorldObject(const std::string& id) {
  if (!world_->removeObject(id)) return false;
  collision_detection::cleanCollisionGeometryCache();
  forgetValidStates();
  return true;
}

bool ManipulatorPlanScene::attachBox(const std::string& id, const robot_model::core::LinkModel& link,
                                     const std::array<double, 3>& size, double scale, double padding,
                                     const double* joints, const Eigen::Isometry3d& box_pose) {
  const std::vector<const robot_model::core::LinkModel*>& links = robot_model_->getLinkModels();
  if (joint_model_group_ == nullptr || link.getLinkIndex() >= links.size() || links[link.getLinkIndex()] != &link) {
    puts("Invalid link.");
    return false;
  }
  robot_state_->setJointGroupPositions(joint_model_group_, joints);
  robot_state_->updateLinkTransforms();
  try {
    auto box = std::make_shared<shapes::Box>(size[0], size[1], size[2]);
    box->scaleAndPad(scale, 0.0);
    box->scaleAndPad(1.0, padding);
    auto body = std::make_unique<robot_model::core::AttachedBody>();
    body->parent_link_ = &link;
    body->id_ = id;
    body->shapes_.push_back(std::move(box));
    body->shape_poses_.push_back(robot_state_->getGlobalLinkTransform(&link).inverse() * box_pose);
    body->touch_links_.insert(link.getName());
    body->global_shape_poses_.push_back(Eigen::Isometry3d::Identity());
    world_->removeObject(id);
    robot_state_->updateCollisionBodyTransforms();
    forgetValidStates();
    robot_state_->attachBody(std::move(body));
  } catch (const std::runtime_error& error) {
    // A box that cannot be built or a body the state refuses.
    printf("%s\n", error.what());
    return false;
  }
  return true;
}

bool ManipulatorPlanScene::detachBody(const std::string& id) {
  if (!robot_state_->hasAttachedBody(id)) return false;
  robot_state_->clearAttachedBody(id);
  forgetValidStates();
  return true;
}

void ManipulatorPlanScene::setGripperPadding(double padding) {
  if (joint_model_group_ == nullptr) return;
  const auto& active_joints = joint_model_group_->getActiveJointModels();
  const int n_dof = static_cast<int>(active_joints.size());
  const int n = static_cast<int>(joint_model_group_->getJointModels().size());
  printf("n_dof=%d,", n_dof);
  printf("n=%d,", n);
  if (n_dof >= n) {
    puts("The robot does not have gripper.");
    return;
  }
  if (!(padding >= 0.0 && padding <= std::numeric_limits<double>::max())) {
    printf("setGripperPadding: padding %g is not a finite non-negative length, the padding is left as it is.\n",
           padding);
    return;
  }
  puts("+++++++++++++++++++++padding+++++++++++++++++++++");
  std::vector<std::string> links;
  const robot_model::core::LinkModel* base = active_joints.empty() ? nullptr : active_joints[0]->getParentLinkModel();
  if (base != nullptr) links.push_back(base->getName());
  links.insert(links.end(), joint_model_group_->getLinkModelNames().begin(),
               joint_model_group_->getLinkModelNames().end());
  std::vector<double> previous;
  for (const std::string& name : links) previous.push_back(collision_robot_padded_->getLinkPadding(name));
  try {
    for (const std::string& name : links) {
      collision_robot_padded_->setLinkPadding(name, padding);
      std::cout << name << " padding:" << collision_robot_padded_->getLinkPadding(name) << std::endl;
    }
  } catch (const std::exception& error) {
    // A padding whose geometry cannot be built: every link goes back to the padding it had and could build.
    for (std::size_t k = 0; k < links.size(); ++k) collision_robot_padded_->setLinkPadding(links[k], previous[k]);
    printf("setGripperPadding: padding %g cannot be applied (%s), the padding is left as it is.\n", padding,
           error.what());
  }
  forgetValidStates();
  updateFineMotionBound();
}

std::vector<geometry_msgs::msg::TransformStamped> ManipulatorPlanScene::getLinkTransforms(const double* q) {
  std::vector<geometry_msgs::msg::TransformStamped> transforms;
  if (joint_model_group_ == nullptr || q == nullptr) return transforms;
  tf_robot_state_->setJointGroupPositions(joint_model_group_, q);
  tf_robot_state_->updateCollisionBodyTransforms();

  const robot_model::core::JointModel* common_root = joint_model_group_->getCommonRoot();
  const robot_model::core::LinkModel* frame_link = common_root ? common_root->getParentLinkModel() : nullptr;
  const std::string frame = frame_link ? frame_link->getName() : std::string();
  // Each link is expressed in the frame it is labelled with; without one, in the model frame.
  const Eigen::Isometry3d frame_inverse =
      frame_link ? tf_robot_state_->getGlobalLinkTransform(frame_link).inverse() : Eigen::Isometry3d::Identity();

  std::vector<const robot_model::core::LinkModel*> links;
  for (const std::string& name : joint_model_group_->getLinkModelNames()) {
    const robot_model::core::LinkModel* link = robot_model_->getLinkModel(name);
    if (link == nullptr) throw std::runtime_error("Invalid link.");
    links.push_back(link);
  }

  const builtin_interfaces::msg::Time stamp = systemClockNow();
  transforms.reserve(links.size());
  for (const robot_model::core::LinkModel* link : links) {
    const Eigen::Isometry3d relative = frame_inverse * tf_robot_state_->getGlobalLinkTransform(link);
    const Eigen::Quaterniond rotation(relative.rotation());
    geometry_msgs::msg::TransformStamped transform;
    transform.header.stamp = stamp;
    transform.header.frame_id = frame;
    transform.child_frame_id = link->getName();
    transform.transform.translation.x = relative.translation().x();
    transform.transform.translation.y = relative.translation().y();
    transform.transform.translation.z = relative.translation().z();
    transform.transform.rotation.x = rotation.x();
    transform.transform.rotation.y = rotation.y();
    transform.transform.rotation.z = rotation.z();
    transform.transform.rotation.w = rotation.w();
    transforms.push_back(std::move(transform));
  }
  return transforms;
}
