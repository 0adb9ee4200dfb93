// Entry points of the commands. Their work is added with the motion and grab handling; until then commands
// are refused.
#include "node/ros_two_wrapper.h"

namespace {

template <typename Response>
void refuse(Response& response) {
  response.code = -1;
  response.message = "command not available";
}

}  // namespace

int32_t RosTwoWrapper::moveToGoalCallback(const std_msgs::msg::Float64MultiArray&) { return -1; }

void RosTwoWrapper::armMoveJointsCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmMoveJoints::Request>,
                                                std::shared_ptr<vantrel_interfaces::srv::ArmMoveJoints::Response> response) {
  refuse(*response);
}

void RosTwoWrapper::armGrabCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmGrab::Request>,
                                          std::shared_ptr<vantrel_interfaces::srv::ArmGrab::Response> response) {
  refuse(*response);
}

void RosTwoWrapper::armReleaseCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmRelease::Request>,
                                             std::shared_ptr<vantrel_interfaces::srv::ArmRelease::Response> response) {
  refuse(*response);
}
