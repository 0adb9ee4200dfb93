// The current joint vector, shared between the joint-state callbacks and the command handlers.
#include "node/ros_two_wrapper.h"

std::vector<double> RosTwoWrapper::currentJointPositions() const {
  std::lock_guard<std::mutex> lock(current_joint_positions_mutex_);
  return current_joint_positions_;
}

void RosTwoWrapper::setCurrentJointPositions(const std::vector<double>& positions) {
  std::lock_guard<std::mutex> lock(current_joint_positions_mutex_);
  current_joint_positions_ = positions;
}
