// The motion commands: joint goals from the grab and release legs, "/move_to_goal" and ArmMoveJoints.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "grab/pose_conversion.h"
#include "node/command_codes.h"
#include "node/motion_request_checks.h"
#include "node/ros_two_wrapper.h"
#include "robot_model/core/joint_model_group.h"

namespace {
const char* const kPlanFailedText = "Path plan and post processing error!";
const char* const kStartMoveText = "\033[42m runPipeLine success, start move!\033[0m";
}  // namespace

using namespace command_code;

void RosTwoWrapper::unfreezeObstacleMapUnlessHeld() {
  if (!grab_goal_updated_flag_) not_update_obstacle_info_flag_ = false;
}

void RosTwoWrapper::shareObstacleMapWithWorld(size_t node_count) {
  if (node_count != 0 && !plan_scene_ptr_->worldHoldsOctomap(octomap_tree_ptr_)) handObstacleMapToScene();
}

int RosTwoWrapper::planToGoal(const std::vector<double>& goal, double gripper_padding, bool add_filtered_cloud,
                              std::vector<TrajectoryPoint>& points) {
  pipeline_ptr_->start_joints_ = currentJointPositions();
  pipeline_ptr_->goal_joints_ = goal;
  std::lock_guard<std::mutex> lock(scene_mutex_);
  // The latest cloud still shows a held object where it was grabbed: the frozen map stays without it.
  if (add_filtered_cloud && !grab_goal_updated_flag_) {
    for (const pcl::PointXYZ& point : pc_robot_filter_->points) {
      octomap_tree_ptr_->updateNode(octomap::point3d(point.x, point.y, point.z), true, false);
    }
    octomap_tree_ptr_->updateInnerOccupancy();
    const size_t node_count = octomap_tree_ptr_->calcNumNodes();
    printf("**********node_size**********=%d", static_cast<int>(node_count));
    if (node_count != 0) {
      puts("start update scene octomap");
      handObstacleMapToScene();
    }
  } else {
    shareObstacleMapWithWorld(octomap_tree_ptr_->size());
  }
  pipeline_ptr_->plan_scene_ptr_->setGripperPadding(gripper_padding);
  points.clear();
  if (atJoints(pipeline_ptr_->start_joints_, goal)) {
    puts("the arm stands at the goal already: nothing to move");
    return kSuccess;
  }
  PathPlanAndPostProcessing& planner = *pipeline_ptr_->path_plan_ptr_;
  const int code =
      pipeline_ptr_->real_robot_flag_
          ? planner.pathPlanAndSimplify(pipeline_ptr_->start_joints_, pipeline_ptr_->goal_joints_, points)
          : planner.pathPlanAndSimplifySimulation(pipeline_ptr_->start_joints_, pipeline_ptr_->goal_joints_, points);
  if (code != 0) puts(kPlanFailedText);
  return code;
}

double RosTwoWrapper::gripperPadding(int padding_mode) const {
  return padding_mode == 1 ? plan_scene_ptr_->getRobotPadding() : pipeline_ptr_->padding_;
}

int32_t RosTwoWrapper::MoveToGoalNotUpdateObstacle(std::vector<double> goal, int padding_mode,
                                                   std::vector<std::vector<double>>& path) {
  std::vector<TrajectoryPoint> points;
  path.clear();
  if (planToGoal(goal, gripperPadding(padding_mode), false, points) != kSuccess) {
    path.push_back(pipeline_ptr_->start_joints_);
    path.push_back(std::move(goal));
    return kPlanningFailed;
  }
  if (points.empty()) {
    path.push_back(pipeline_ptr_->start_joints_);
    return kSuccess;
  }
  for (const TrajectoryPoint& point : points) path.push_back(point.positions);
  const FollowJointTrajectory::Goal trajectory_goal = generateFollowJointTrajectoryMsg(points);
  std::cout << kStartMoveText << std::endl;
  return sendGoalAndWait(trajectory_goal, "cmd was rejected!", true);
}

int32_t RosTwoWrapper::moveToGoalCallback(const std_msgs::msg::Float64MultiArray& msg) {
  const std::vector<double>& goal = msg.data;
  if (goal.size() != static_cast<size_t>(n_dof_)) {
    puts("Error, recieve goal size is not right!!!");
    return kGoalSizeWrong;
  }
  std::vector<TrajectoryPoint> points;
  const int32_t planned = commandCode(planToGoal(goal, plan_scene_ptr_->getRobotPadding(), true, points),
                                      kGoalPlanningFailed);
  if (planned != kSuccess) {
    unfreezeObstacleMapUnlessHeld();
    return planned;
  }
  int32_t code = kSuccess;
  if (!points.empty()) {
    const FollowJointTrajectory::Goal trajectory_goal = generateFollowJointTrajectoryMsg(points);
    std::cout << kStartMoveText << std::endl;
    code = sendGoalAndWait(trajectory_goal, "robot cmd was rejected!", false);
  }
  if (code == kNoActionServer || (code == kSuccess && !real_robot_flag_)) unfreezeObstacleMapUnlessHeld();
  return code;
}

void RosTwoWrapper::publishCollisionEnable() {
  if (!real_robot_flag_) return;
  std_msgs::msg::Bool enable;
  enable.data = true;
  collision_enable_pub_->publish(enable);
}

int32_t RosTwoWrapper::moveToPoseGoal(const vantrel_interfaces::srv::ArmMoveJoints::Request& request) {
  Pose7 pose;
  std::copy(request.pose.begin(), request.pose.end(), pose.begin());
  if (!normaliseToolPose(pose)) {
    puts("pose has a value that is not finite or a quaternion that is not of unit norm!");
    return kPoseGoalUnsolved;
  }
  const Eigen::Matrix4d flange = poseToIsometry(pose) * grab_manager_ptr_->getToolMatrix().inverse();
  const auto& kinematics = plan_scene_ptr_->getPlanningGroup()->kinematics_interface_ptr_;
  if (!kinematics) {
    puts("kinematics_interface_ptr_==null!");
    puts("inverseKinematics failed!");
    return kPoseGoalUnsolved;
  }
  std_msgs::msg::Float64MultiArray joint_goal;
  if (kinematics->inverseKinematics(Eigen::MatrixXd(flange), joint_goal.data) != 0) {
    puts("inverse kinematics failed!!!");
    puts("inverseKinematics failed!");
    return kPoseGoalUnsolved;
  }
  // The solver's values may lie a whole turn outside the limits the planner holds the goal to.
  turnJointsIntoLimits(joint_goal.data, grab_manager_ptr_->getJointLimits(), currentJointPositions());
  printf("q_result:");
  for (double value : joint_goal.data) printf("%lf,", value);
  printf("\n");
  publishCollisionEnable();
  return commandCode(moveToGoalCallback(joint_goal), kPoseGoalFailed);
}

void RosTwoWrapper::armMoveJointsCmdSrvCallback(
    const std::shared_ptr<vantrel_interfaces::srv::ArmMoveJoints::Request> request,
    std::shared_ptr<vantrel_interfaces::srv::ArmMoveJoints::Response> response) {
  std::cout << "\033[42m ==================armMoveJointsCmdSrvCallback==================\033[0m" << std::endl;
  unfreezeObstacleMapUnlessHeld();
  response->code = kSuccess;
  response->message = "success";
  if (request->cmd_type == 1) {
    response->code = moveToPoseGoal(*request);
    if (response->code == kPoseGoalUnsolved) response->message = "armMoveJointsCmd generate goal point failed!";
    if (response->code == kPoseGoalFailed) response->message = "armMoveJointsCmd moveToGoalCallback plan failed!";
    return;
  }
  if (request->cmd_type != 0) return;

  const std::vector<double>& goal = request->joints.data;
  if (goal.size() != static_cast<size_t>(n_dof_)) {
    puts("n_dof_ dose not equal data.size();");
    response->code = kJointCountWrong;
    response->message = "armMoveJointsCmd n_dof_ dose not equal data.size();!";
    return;
  }
  for (double value : goal) printf("%lf,", value);
  printf("\n");
  publishCollisionEnable();
  std::vector<std::vector<double>> path;
  const int32_t code = MoveToGoalNotUpdateObstacle(goal, 1, path);
  if (code == kSuccess) return;

  response->code = kJointGoalFailed;
  response->message = "armMoveJointsCmd MoveToGoalNotUpdateObstacle failed!";
  printf("%s", response->message.c_str());
  if (real_robot_flag_) {
    command_logger_ptr_->saveMoveJointsCmdLog(code == kPlanningFailed
                                                  ? "MoveJointsCmd failed(path plan), error code = -21"
                                                  : "MoveJointsCmd failed(arm controller run), error code = -21",
                                              "obstacle.pcd", path);
  }
  unfreezeObstacleMapUnlessHeld();
  if (print_debug_flag_) usleep(20000000);
}
