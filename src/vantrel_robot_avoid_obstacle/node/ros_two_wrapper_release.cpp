// The release service: carries the grabbed object from where the arm stands back to its transition point, then on
// to the release joints, the object attached to the tool link as a collision body except on a way back that
// leaves the grasp itself; hands the obstacle map back to the cameras once the object is let go. A release that
// fails while the object is still held keeps the grab, so that it can be tried again from where the arm stands.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "node/command_codes.h"
#include "node/motion_request_checks.h"
#include "node/point_cloud_obb_cut.h"
#include "node/ros_two_wrapper.h"

namespace {

constexpr auto kLegSettle = std::chrono::milliseconds(500);
constexpr auto kFailedLegDebugPause = std::chrono::seconds(50);
// The trajectory goals set no goal tolerance of their own, so none tighter than this is known to hold where the
// grasp leg ended: an arm this near the grasp stands in it.
constexpr double kAtGraspTolerance = 0.01;
const char* const kOctreeSnapshotFile = "obstacle_last.bt";

}  // namespace

bool RosTwoWrapper::checkReleaseJoints(const std::vector<double>& joints, std::string& refusal) const {
  if (static_cast<int32_t>(joints.size()) != n_dof_) {
    puts("n_dof_ dose not equal data.size();");
    refusal = "n_dof_ dose not equal data.size();!";
    return false;
  }
  if (!allFinite(joints)) {
    refusal = "release joints are not finite!";
  } else if (!withinJointLimits(joints, grab_manager_ptr_->getJointLimits())) {
    refusal = "release joints are out of the joint limits!";
  } else {
    return true;
  }
  puts(refusal.c_str());
  return false;
}

void RosTwoWrapper::armReleaseCmdSrvCallback(
    const std::shared_ptr<vantrel_interfaces::srv::ArmRelease::Request> request,
    std::shared_ptr<vantrel_interfaces::srv::ArmRelease::Response> response) {
  using namespace command_code;
  std::cout << "\033[42m ==================armReleaseCmdSrvCallback==================\033[0m" << std::endl;
  if (!grab_goal_updated_flag_) {
    puts("grab goal does not update!");
    response->code = kNothingHeld;
    response->message = "armReleaseCmd failed, grab goal does not update!";
    not_update_obstacle_info_flag_ = false;
    return;
  }
  const int32_t cmd_type = request->cmd_type;
  const std::vector<double> release_joints = request->release_joints.data;
  // Checked before anything moves, so that a bad request leaves the object held and the grab state as it is.
  if (cmd_type == 0 && !checkReleaseJoints(release_joints, response->message)) {
    response->code = kReleaseJointsInvalid;
    return;
  }
  const auto answer = [&](int32_t code, const char* message) {
    response->code = code;
    response->message = message;
  };

  JointPath path;
  publishCollisionEnable();
  std::this_thread::sleep_for(kLegSettle);
  // Out of the grasp the object is not modelled: it sits in the gripper, which is not padded either. Anywhere else
  // it is carried, padded gripper and all, as in every motion while it is held.
  const bool from_grasp = atJoints(currentJointPositions(), grab_goal_, kAtGraspTolerance);
  if (from_grasp) detachGrabObject(false);
  int32_t leg = MoveToGoalNotUpdateObstacle(transition_point_, from_grasp ? 2 : 1, path);
  if (leg != kSuccess) {
    if (from_grasp) attachGrabObject(transition_point_, false);
    answer(kBackToTransitionPointFailed, "armReleaseCmd From grab point to transition point failed 1!");
    puts("From grab point to transition point  FAILED!");
    if (real_robot_flag_) {
      const auto& p = request->release_pose;
      const std::vector<double> release =
          cmd_type == 0 ? std::vector<double>{} : std::vector<double>{p[0], p[1], p[2], p[6], p[3], p[4], p[5]};
      command_logger_ptr_->saveReleaseCmdLog(
          n_dof_, cmd_type, release,
          legFailureMessage("From grab point to transition point failed", leg, ", error code =-8"), path);
    }
    return;
  }
  printf("cmd=========================%d\n", cmd_type);

  Eigen::Matrix4d flange = Eigen::Matrix4d::Identity();
  plan_scene_ptr_->getPlanningGroup()->forwardKinematicsMatrix(transition_point_, flange);
  const Eigen::Matrix4d base_to_obb = flange * tool_matrix_ * tcp_to_obb_matrix_;
  {
    std::lock_guard<std::mutex> lock(scene_mutex_);
    auto cut_cloud = std::make_shared<Cloud>();
    removeObbObstaclePoints(obb_removed_cloud_, cut_cloud, base_to_obb, obb_size_.data(),
                            kObbCutScale * grab_object_scale_, kObbCutMargin + grab_object_padding_);
    std::cout << "base_to_obb_center:" << std::endl << base_to_obb << std::endl;
    publishObstacleCloud(*cut_cloud);
    const size_t before = octomap_tree_ptr_->calcNumNodes();
    printf("**********armGrab node_size before clear**********=%d", static_cast<int>(before));
    if (before != 0) puts("**********octomap_tree_ptr_->clear()**********");
    const size_t nodes = refillOctree(*cut_cloud);
    printf("**********cloud_final2 octomap_tree node_size=%d**********", static_cast<int>(nodes));
    updateSceneOctomap(nodes, "start update scene octomap");
    if (nodes != 0) octomap_tree_ptr_->writeBinary(kOctreeSnapshotFile);
  }
  std::array<double, 3> marker_size;
  for (size_t k = 0; k < marker_size.size(); ++k) {
    marker_size[k] = obb_size_[k] * grab_object_scale_ + 2 * grab_object_padding_;
  }
  publishBoxMarker(base_to_obb, marker_size);

  if (!attachGrabObject(transition_point_, true)) {
    answer(kAttachFailed, "armReleaseCmd attach grab object failed!");
    return;
  }
  if (cmd_type == 0) {
    for (double value : release_joints) printf("%lf,", value);
    printf("\n");
    publishCollisionEnable();
    std::this_thread::sleep_for(kLegSettle);
    leg = MoveToGoalNotUpdateObstacle(release_joints, 1, path);
    if (leg != kSuccess) {
      answer(kToReleasePointFailed, "armReleaseCmd From transition point to release point  plan failed!");
      puts("From transition point to release point FAILED!,sleep 3s");
      if (print_debug_flag_) std::this_thread::sleep_for(kFailedLegDebugPause);
      if (real_robot_flag_) {
        command_logger_ptr_->saveReleaseCmdLog(
            n_dof_, 0, release_joints,
            legFailureMessage("From transition point to release point failed", leg, ", error code =-101"), path);
      }
      return;
    }
  }
  // What the object stood on stays an obstacle until the cameras show the place again.
  detachGrabObject(true);
  answer(kSuccess, "success");
  not_update_obstacle_info_flag_ = false;
  grab_goal_updated_flag_ = false;
}
