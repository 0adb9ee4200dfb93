// The motion commands: joint goals from the grab and release legs, "/move_to_goal" and ArmMoveJoints.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "grab/pose_conversion.h"
#include "node/motion_request_checks.h"
#include "node/ros_two_wrapper.h"
#include "robot_model/core/joint_model_group.h"

namespace {
const char* const kPlanFailedText = "Path plan and post processing error!";
const char* const kStartMoveText = "\033[42m runPipeLine success, start move!\033[0m";
}  // namespace

void RosTwoWrapper::shareObstacleMapWithWorld(size_t node_count) {
  if (node_count != 0 && !plan_scene_ptr_->worldHoldsOctomap(octomap_tree_ptr_)) {
    plan_scene_ptr_->updateWorldOctomap(octomap_tree_ptr_);
  }
}

int RosTwoWrapper::planToGoal(const std::vector<double>& goal, double gripper_padding, bool add_filtered_cloud,
                              std::vector<TrajectoryPoint>& points) {
  pipeline_ptr_->start_joints_ = currentJointPositions();
  pipeline_ptr_->goal_joints_ = goal;
  std::lock_guard<std::mutex> lock(scene_mutex_);
  if (add_filtered_cloud) {
    for (const pcl::PointXYZ& point : pc_robot_filter_->points) {
      octomap_tree_ptr_->updateNode(octomap::point3d(point.x, point.y, point.z), true, false);
    }
    octomap_tree_ptr_->updateInnerOccupancy();
    const size_t node_count = octomap_tree_ptr_->calcNumNodes();
    printf("**********node_size**********=%d", static_cast<int>(node_count));
    if (node_count != 0) {
      puts("start update scene octomap");
      plan_scene_ptr_->updateWorldOctomap(octomap_tree_ptr_);
    }
  } else {
    shareObstacleMapWithWorld(octomap_tree_ptr_->size());
  }
  pipeline_ptr_->plan_scene_ptr_->setGripperPadding(gripper_padding);
  PathPlanAndPostProcessing& planner = *pipeline_ptr_->path_plan_ptr_;
  const int code =
      pipeline_ptr_->real_robot_flag_
          ? planner.pathPlanAndSimplify(pipeline_ptr_->start_joints_, pipeline_ptr_->goal_joints_, points)
          : planner.pathPlanAndSimplifySimulation(pipeline_ptr_->start_joints_, pipeline_ptr_->goal_joints_, points);
  if (code != 0) puts(kPlanFailedText);
  return code;
}

int32_t RosTwoWrapper::MoveToGoalNotUpdateObstacle(std::vector<double> goal, int padding_mode,
                                                   std::vector<std::vector<double>>& path) {
  const double padding = padding_mode == 1 ? plan_scene_ptr_->getRobotPadding() : pipeline_ptr_->padding_;
  std::vector<TrajectoryPoint> points;
  path.clear();
  if (planToGoal(goal, padding, false, points) != 0) {
    path.push_back(pipeline_ptr_->start_joints_);
    path.push_back(std::move(goal));
    return -201;
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
    return -1;
  }
  if (!allFinite(goal)) {
    puts("Error, recieve goal holds a value that is not finite!!!");
    return -1;
  }
  std::vector<TrajectoryPoint> points;
  if (planToGoal(goal, plan_scene_ptr_->getRobotPadding(), true, points) != 0) {
    not_update_obstacle_info_flag_ = false;
    return -2;
  }
  const FollowJointTrajectory::Goal trajectory_goal = generateFollowJointTrajectoryMsg(points);
  std::cout << kStartMoveText << std::endl;
  const int32_t code = sendGoalAndWait(trajectory_goal, "robot cmd was rejected!", false);
  if (code == -3 || (code == 0 && !real_robot_flag_)) not_update_obstacle_info_flag_ = false;
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
    return -22;
  }
  const Eigen::Matrix4d flange = poseToIsometry(pose) * grab_manager_ptr_->getToolMatrix().inverse();
  const auto& kinematics = plan_scene_ptr_->getPlanningGroup()->kinematics_interface_ptr_;
  if (!kinematics) {
    puts("kinematics_interface_ptr_==null!");
    puts("inverseKinematics failed!");
    return -22;
  }
  std_msgs::msg::Float64MultiArray joint_goal;
  if (kinematics->inverseKinematics(Eigen::MatrixXd(flange), joint_goal.data) != 0) {
    puts("inverse kinematics failed!!!");
    puts("inverseKinematics failed!");
    return -22;
  }
  // The solver's values may lie a whole turn outside the limits the planner holds the goal to.
  turnJointsIntoLimits(joint_goal.data, grab_manager_ptr_->getJointLimits(), currentJointPositions());
  printf("q_result:");
  for (double value : joint_goal.data) printf("%lf,", value);
  printf("\n");
  publishCollisionEnable();
  return moveToGoalCallback(joint_goal) == 0 ? 0 : -24;
}

void RosTwoWrapper::armMoveJointsCmdSrvCallback(
    const std::shared_ptr<vantrel_interfaces::srv::ArmMoveJoints::Request> request,
    std::shared_ptr<vantrel_interfaces::srv::ArmMoveJoints::Response> response) {
  std::cout << "\033[42m ==================armMoveJointsCmdSrvCallback==================\033[0m" << std::endl;
  not_update_obstacle_info_flag_ = false;
  response->code = 0;
  response->message = "success";
  if (request->cmd_type == 1) {
    response->code = moveToPoseGoal(*request);
    if (response->code == -22) response->message = "armMoveJointsCmd generate goal point failed!";
    if (response->code == -24) response->message = "armMoveJointsCmd moveToGoalCallback plan failed!";
    return;
  }
  if (request->cmd_type != 0) return;

  const std::vector<double>& goal = request->joints.data;
  if (goal.size() != static_cast<size_t>(n_dof_)) {
    puts("n_dof_ dose not equal data.size();");
    response->code = -20;
    response->message = "armMoveJointsCmd n_dof_ dose not equal data.size();!";
    return;
  }
  if (!allFinite(goal)) {
    response->code = -20;
    response->message = "armMoveJointsCmd joint goal holds a value that is not finite!";
    puts(response->message.c_str());
    return;
  }
  for (double value : goal) printf("%lf,", value);
  printf("\n");
  publishCollisionEnable();
  std::vector<std::vector<double>> path;
  const int32_t code = MoveToGoalNotUpdateObstacle(goal, 1, path);
  if (code == 0) return;

  response->code = -21;
  response->message = "armMoveJointsCmd MoveToGoalNotUpdateObstacle failed!";
  printf("%s", response->message.c_str());
  if (real_robot_flag_) {
    command_logger_ptr_->saveMoveJointsCmdLog(code == -201
                                                  ? "MoveJointsCmd failed(path plan), error code = -21"
                                                  : "MoveJointsCmd failed(arm controller run), error code = -21",
                                              "obstacle.pcd", path);
  }
  not_update_obstacle_info_flag_ = false;
  if (print_debug_flag_) usleep(20000000);
}
