// The carried box as a collision body on the tool link, so that the release path is checked with it.
#include <cstdio>
#include <stdexcept>

#include <Eigen/LU>

#include "node/ros_two_wrapper.h"
#include "robot_model/core/link_model.h"
#include "robot_model/shapes/shapes.h"

namespace {

const char* const kGrabObjectId = "grab_object";

// The last link of the group, which carries the tool.
const robot_model::core::LinkModel* getTcpLink(const robot_model::core::JointModelGroup& group) {
  const std::vector<std::string> names = group.getLinkModelNames();
  const int index = static_cast<int>(names.size()) - 1;
  if (index < 0) {
    printf("getTcpLink error,index=%d <0!\n", index);
    return nullptr;
  }
  const robot_model::core::LinkModel* link = group.getLinkModel(names[index]);
  if (link == nullptr) {
    printf("getTcpLink error, can not find link: %s \n", names[index].c_str());
    return nullptr;
  }
  printf("getTcpLink success, find link: %s \n", names[index].c_str());
  return link;
}

}  // namespace

bool RosTwoWrapper::attachGrabObject(const std::vector<double>& joints) {
  const robot_model::core::JointModelGroup& group = *plan_scene_ptr_->getPlanningGroup();
  const robot_model::core::LinkModel* link = getTcpLink(group);
  if (link == nullptr) {
    puts("getTcpLink error in processAttachedCollisionObject");
    return false;
  }
  std::lock_guard<std::mutex> lock(scene_mutex_);
  robot_model::core::RobotState& state = *plan_scene_ptr_->getRobotState();
  // The box relative to the link: the link frame need not be the tool frame.
  Eigen::Matrix4d flange = Eigen::Matrix4d::Identity();
  group.forwardKinematicsMatrix(joints, flange);
  state.setJointGroupPositions(&group, joints);
  state.updateLinkTransforms();
  const Eigen::Matrix4d link_pose = state.getGlobalLinkTransform(link).matrix();
  const Eigen::Matrix4d box_in_link = link_pose.inverse() * flange * tool_matrix_ * tcp_to_obb_matrix_;

  auto box = std::make_shared<shapes::Box>(obb_size_[0], obb_size_[1], obb_size_[2]);
  box->scaleAndPad(grab_object_scale_, 0.0);
  box->scaleAndPad(1.0, grab_object_padding_);
  auto body = std::make_unique<robot_model::core::AttachedBody>();
  body->parent_link_ = link;
  body->id_ = kGrabObjectId;
  body->shapes_.push_back(box);
  body->shape_poses_.push_back(Eigen::Isometry3d(box_in_link));
  body->touch_links_.insert(link->getName());
  body->global_shape_poses_.push_back(Eigen::Isometry3d::Identity());

  collision_detection::World& world = *plan_scene_ptr_->getWorld();
  const auto stale = world.objects_.find(kGrabObjectId);
  if (stale != world.objects_.end()) {
    world.notify(stale->second, collision_detection::World::DESTROY);
    world.objects_.erase(stale);
  }
  state.updateCollisionBodyTransforms();
  printf(state.hasAttachedBody(kGrabObjectId)
             ? "robot_state_ does hasAttachedBody,shapes '%s' attached to tcp link '%s' \n"
             : "robot_state_ not hasAttachedBody,shapes '%s' attached to tcp link '%s' \n",
         kGrabObjectId, link->getName().c_str());
  try {
    state.attachBody(std::move(body));
  } catch (const std::runtime_error& error) {
    printf("%s\n", error.what());
    return false;
  }
  return true;
}

void RosTwoWrapper::detachGrabObject() {
  {
    std::lock_guard<std::mutex> lock(scene_mutex_);
    plan_scene_ptr_->getRobotState()->clearAttachedBody(kGrabObjectId);
  }
  printf("remove '%s' AttachedBody \n", kGrabObjectId);
}
