// Entry points of the grab and release commands. Their work is added with the grab handling; until then they
// are refused.
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
