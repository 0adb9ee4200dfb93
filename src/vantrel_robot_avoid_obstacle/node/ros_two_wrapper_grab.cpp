// The grab service: cuts the object out of the obstacle map, keeping what it stands on, chooses a grab configuration
// and a transition point, and moves through the transition point into the grasp. A failed grab gives the map back
// as the latest cloud shows it. The grab state the release continues from is taken over only when the grab succeeds;
// while an object is held no other is taken.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include <Eigen/LU>

#include "grab/grab_geometry.h"
#include "grab/grab_goal_search.h"
#include "node/command_codes.h"
#include "node/motion_request_checks.h"
#include "node/point_cloud_obb_cut.h"
#include "node/ros_two_wrapper.h"

namespace {

constexpr auto kLegSettle = std::chrono::milliseconds(500);
constexpr auto kFailedSearchPause = std::chrono::seconds(10);

void printPose(const Pose7& pose) {
  printf("%lf,%lf,%lf,", pose[0], pose[1], pose[2]);
  printf("%lf,%lf,%lf,%lf;\n", pose[6], pose[3], pose[4], pose[5]);
}

}  // namespace

void RosTwoWrapper::armGrabCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmGrab::Request> request,
                                          std::shared_ptr<vantrel_interfaces::srv::ArmGrab::Response> response) {
  using namespace command_code;
  std::cout << "\033[42m ==================armGrabCmdSrvCallback==================\033[0m" << std::endl;
  Pose7 target_pose;
  Pose7 obb_pose;
  std::array<double, 3> obb_size;
  std::copy(request->target_pose.begin(), request->target_pose.end(), target_pose.begin());
  std::copy(request->obb_pose.begin(), request->obb_pose.end(), obb_pose.begin());
  std::copy(request->obb_size.begin(), request->obb_size.end(), obb_size.begin());
  puts("I get GrabCmd:***************[target_pose,obb_pose,obb_size]***************");
  printPose(target_pose);
  printPose(obb_pose);
  printf("%lf,%lf,%lf;\n", obb_size[0], obb_size[1], obb_size[2]);
  puts("***************GrabCmd describe end***************");
  // No arm carries a box longer than twice its reach; its cut would empty the obstacle map. A held object stays
  // held, its map frozen, until a release lets it go.
  const double longest_edge = 2.0 * armReachBound(*plan_scene_ptr_->getPlanningGroup(), tool_matrix_);
  if (grab_goal_updated_flag_ || !normaliseGrabRequest(target_pose, obb_pose, obb_size, longest_edge)) {
    response->code = kGrabRequestInvalid;
    response->message = "invalid grab request!";
    puts("invalid grab request!");
    return;
  }

  const Eigen::Matrix4d target = poseToIsometry(target_pose);
  const Eigen::Matrix4d tcp_to_obb = poseToIsometry(obb_pose);
  std::cout << "tcp_to_obb_matrix:" << std::endl << tcp_to_obb << std::endl;
  const Eigen::Matrix4d base_to_obb_center = target * tcp_to_obb;
  publishBoxMarker(base_to_obb_center, obb_size);

  JointPath path;
  const auto fail = [&](int32_t code, const char* message, const std::string& log_message) {
    response->code = code;
    response->message = message;
    {
      std::lock_guard<std::mutex> lock(scene_mutex_);
      restoreMapAfterFailedGrab();
    }
    not_update_obstacle_info_flag_ = false;
    if (!real_robot_flag_) return;
    const Pose7& t = target_pose;
    const Pose7& o = obb_pose;
    command_logger_ptr_->saveGrabCmdLog(obb_size.data(), "obstacle.pcd", log_message, path, t[0], t[1], t[2], t[6],
                                        t[3], t[4], t[5], o[0], o[1], o[2], o[6], o[3], o[4], o[5]);
  };

  auto cut_cloud = std::make_shared<Cloud>();
  std::vector<double> grab_goal;
  std::vector<double> transition_point;
  Eigen::Matrix4d tcp_to_obb_at_grab;
  {
    std::unique_lock<std::mutex> lock(scene_mutex_);
    not_update_obstacle_info_flag_ = true;
    removeObbObstaclePoints(pc_robot_filter_, cut_cloud, base_to_obb_center, obb_size.data(), kObbCutScale,
                            kObbCutMargin);
    placeGrabSupport(base_to_obb_center, obb_size);
    const double maxz = getObbMaxZ(base_to_obb_center, obb_size.data());
    std::cout << "base_to_obb_center:" << std::endl << base_to_obb_center << std::endl;
    printf("pc_robot_filter_->points.size()=%d\n", static_cast<int>(pc_robot_filter_->size()));
    publishObstacleCloud(*pc_robot_filter_);

    const size_t before = octomap_tree_ptr_->calcNumNodes();
    printf("**********armGrab node_size before clear**********=%d", static_cast<int>(before));
    if (before != 0) puts("**********octomap_tree_ptr_->clear()**********");
    size_t nodes = refillOctree(*cut_cloud);
    printf("**********octomap_tree node_size =%d after remove obb first time**********\n", static_cast<int>(nodes));
    updateSceneOctomap(nodes, "GrabManager start update scene octomap");
    plan_scene_ptr_->setGripperPadding(0.0);

    const bool elongated = isElongatedBox(obb_size);
    std::vector<std::vector<double>> valid_results;
    Eigen::Matrix4d grab_pose = target;
    int found = generateMoveGoals(*grab_manager_ptr_, target, tool_matrix_, elongated, valid_results, grab_pose);
    if (found == 0) found = selectSuitableOne(valid_results, grab_goal);
    tcp_to_obb_at_grab = grab_pose.inverse() * base_to_obb_center;
    std::cout << "tcp_to_obb_matrix_:" << std::endl << tcp_to_obb_at_grab << std::endl;
    if (found != 0) {
      std::cout << "\033[41m ERROR: generateMoveGoal FAILED！ \033[0m" << std::endl;
      publishObstacleCloud(*cut_cloud);
      lock.unlock();
      // The pause lets the cut-out be inspected; the cameras are not held up meanwhile.
      std::this_thread::sleep_for(kFailedSearchPause);
      fail(kNoGrabGoal, "generate grab_goal failed!", "generate grab_goal failed, error code = -3");
      return;
    }

    nodes = refillOctree(*pc_robot_filter_);
    printf("**********octomap tree node_size = %d before remove obb**********\n", static_cast<int>(nodes));
    updateSceneOctomap(nodes, "start update scene octomap");
    if (grab_manager_ptr_->findTransitionPoint(grab_goal, tool_matrix_, transition_point, maxz) != 0) {
      lock.unlock();
      path = {grab_goal};
      fail(kNoTransitionPoint, "generate transition_point failed!",
           "generate transition_point failed, error code = -4");
      return;
    }
  }

  publishCollisionEnable();
  std::this_thread::sleep_for(kLegSettle);
  int32_t leg = MoveToGoalNotUpdateObstacle(transition_point, 1, path);
  if (leg != kSuccess) {
    puts("Go to transition point FAILED!");
    fail(kToTransitionPointFailed, "robot avoid obstacles plan failed!",
         legFailureMessage("Go to transition point failed", leg, ", error code = -5"));
    return;
  }
  {
    std::lock_guard<std::mutex> lock(scene_mutex_);
    printf("cloud_final->points.size()=%d\n", static_cast<int>(cut_cloud->size()));
    publishObstacleCloud(*cut_cloud);
    const size_t nodes = refillOctree(*cut_cloud);
    printf("**********armGrab node_size remove obb**********=%d", static_cast<int>(nodes));
    updateSceneOctomap(nodes, "start update scene octomap");
  }

  // Into the grasp the gripper has to touch the object.
  if (real_robot_flag_) {
    std_msgs::msg::Bool disable;
    disable.data = false;
    collision_enable_pub_->publish(disable);
  }
  std::this_thread::sleep_for(kLegSettle);
  leg = MoveToGoalNotUpdateObstacle(grab_goal, 2, path);
  if (leg != kSuccess) {
    printf("not_update_obstacle_info_flag_=====%d=====\n", static_cast<int>(not_update_obstacle_info_flag_.load()));
    puts("From transition point to grab point FAILED!");
    fail(kIntoGraspFailed, "robot avoid obstacles plan failed!",
         legFailureMessage("From transition point to grab point failed!", leg, ", error code = -6"));
    return;
  }

  obb_size_ = obb_size;
  obb_removed_cloud_ = cut_cloud;
  tcp_to_obb_matrix_ = tcp_to_obb_at_grab;
  grab_goal_ = grab_goal;
  transition_point_ = transition_point;
  grab_goal_updated_flag_ = true;
  // Held from here on: every motion and check until the release lets it go carries it.
  holdGrabbedObject(base_to_obb_center);
  response->code = kSuccess;
  response->message = "success";
}
