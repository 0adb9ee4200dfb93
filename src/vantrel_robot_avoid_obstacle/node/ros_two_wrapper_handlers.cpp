// Entry points of the grab and release commands; they are refused until their work is added.
#include "node/ros_two_wrapper.h"

namespace {

template <typename Response>
void refuse(Response& response) {
  response.code = -1;
  response.message = "command not available";
}

}  // namespace

void RosTwoWrapper::armGrabCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmGrab::Request>,
                                          std::shared_ptr<vantrel_interfaces::srv::ArmGrab::Response> response) {
  refuse(*response);
}

void RosTwoWrapper::armReleaseCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmRelease::Request>,
                                             std::shared_ptr<vantrel_interfaces::srv::ArmRelease::Response> response) {
  refuse(*response);
}
