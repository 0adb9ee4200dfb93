// Joint-state callbacks: the current joint vector, the robot description text and the link transforms.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <thread>

#include "node/ros_two_wrapper.h"

bool RosTwoWrapper::groupPositionsFrom(const sensor_msgs::msg::JointState& msg, std::vector<double>& positions) const {
  positions.assign(n_dof_, 0.0);
  if (msg.name.empty()) {
    if (msg.position.size() < static_cast<size_t>(n_dof_)) {
      printf("joint state dropped: %zu positions without joint names, %d needed\n", msg.position.size(), n_dof_);
      return false;
    }
    std::copy_n(msg.position.begin(), n_dof_, positions.begin());
  } else {
    for (int i = 0; i < n_dof_; ++i) {
      const size_t index = std::find(msg.name.begin(), msg.name.end(), joint_names_[i]) - msg.name.begin();
      if (index >= msg.name.size() || index >= msg.position.size()) {
        printf("joint state dropped: it gives no position for joint <%s>\n", joint_names_[i].c_str());
        return false;
      }
      positions[i] = msg.position[index];
    }
  }
  for (int i = 0; i < n_dof_; ++i) {
    if (!std::isfinite(positions[i])) {
      printf("joint state dropped: the position of joint <%s> is not finite\n", joint_names_[i].c_str());
      return false;
    }
  }
  return true;
}

bool RosTwoWrapper::takeJointState(const sensor_msgs::msg::JointState& msg, std::vector<double>& positions) {
  if (!groupPositionsFrom(msg, positions)) return false;
  setCurrentJointPositions(positions);
  if (print_joint_state_flag_) {
    for (int i = 0; i < n_dof_; ++i) {
      std::cout << positions[i];
      if (i + 1 < n_dof_) {
        std::cout << ",";
      } else {
        std::cout << std::endl;
      }
    }
  }
  std_msgs::msg::String description;
  description.data = plan_scene_ptr_->getRobotDescription();
  robot_description_pub_->publish(description);
  return true;
}

void RosTwoWrapper::broadcastLinkTransforms(const std::vector<double>& positions) {
  tf_broadcaster_->sendTransform(plan_scene_ptr_->getLinkTransforms(positions.data()));
}

void RosTwoWrapper::printToolPose() const {
  if (!print_joint_state_flag_) return;
  Eigen::MatrixXd pose;
  plan_scene_ptr_->getPlanningGroup()->forwardKinematics(currentJointPositions(), pose);
  if (pose.rows() == 4 && pose.cols() == 4) std::cout << "forwardKinematics pos:" << std::endl << pose << std::endl;
}

void RosTwoWrapper::simulationJointStatesCallback(const sensor_msgs::msg::JointState& msg) {
  std::vector<double> positions;
  if (!takeJointState(msg, positions)) return;
  broadcastLinkTransforms(positions);
  printToolPose();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

void RosTwoWrapper::jointStatesCallback(const sensor_msgs::msg::JointState& msg) {
  std::vector<double> positions;
  if (!takeJointState(msg, positions)) return;
  printToolPose();
  broadcastLinkTransforms(positions);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}
