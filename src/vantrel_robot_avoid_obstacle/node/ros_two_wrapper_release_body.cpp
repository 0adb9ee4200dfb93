// The carried box as a collision body on the tool link, so that every motion while it is held is checked with it.
#include <cstdio>

#include <Eigen/Geometry>

#include "node/ros_two_wrapper.h"
#include "robot_model/core/link_model.h"

namespace {

const char* const kGrabObjectId = "grab_object";

// The last link of the group, which carries the tool; null when the group has none. `report` prints what was
// found.
const robot_model::core::LinkModel* getTcpLink(const robot_model::core::JointModelGroup& group, bool report) {
  const std::vector<std::string>& names = group.getLinkModelNames();
  const int index = static_cast<int>(names.size()) - 1;
  if (index < 0) {
    if (report) printf("getTcpLink error,index=%d <0!\n", index);
    return nullptr;
  }
  const robot_model::core::LinkModel* link = group.getLinkModel(names[index]);
  if (report) {
    printf(link == nullptr ? "getTcpLink error, can not find link: %s \n" : "getTcpLink success, find link: %s \n",
           names[index].c_str());
  }
  return link;
}

}  // namespace

bool RosTwoWrapper::attachGrabObject(const std::vector<double>& joints, bool report) {
  const robot_model::core::JointModelGroup& group = *plan_scene_ptr_->getPlanningGroup();
  const robot_model::core::LinkModel* link = getTcpLink(group, report);
  if (link == nullptr) {
    if (report) puts("getTcpLink error in processAttachedCollisionObject");
    return false;
  }
  Eigen::Matrix4d flange = Eigen::Matrix4d::Identity();
  group.forwardKinematicsMatrix(joints, flange);
  const Eigen::Isometry3d box_pose(flange * tool_matrix_ * tcp_to_obb_matrix_);
  std::lock_guard<std::mutex> lock(scene_mutex_);
  if (report) {
    printf(plan_scene_ptr_->getRobotState()->hasAttachedBody(kGrabObjectId)
               ? "robot_state_ does hasAttachedBody,shapes '%s' attached to tcp link '%s' \n"
               : "robot_state_ not hasAttachedBody,shapes '%s' attached to tcp link '%s' \n",
           kGrabObjectId, link->getName().c_str());
  }
  return plan_scene_ptr_->attachBox(kGrabObjectId, *link, obb_size_, grab_object_scale_, grab_object_padding_,
                                    joints.data(), box_pose);
}

void RosTwoWrapper::detachGrabObject(bool report) {
  {
    std::lock_guard<std::mutex> lock(scene_mutex_);
    plan_scene_ptr_->detachBody(kGrabObjectId);
  }
  if (report) printf("remove '%s' AttachedBody \n", kGrabObjectId);
}
