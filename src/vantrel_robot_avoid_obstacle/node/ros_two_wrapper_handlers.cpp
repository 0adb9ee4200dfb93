// Entry points of the sensor streams, the joint states and the commands. Their work is added with the sensor
// and grab handling; until then messages are taken and dropped, and commands are refused.
#include "node/ros_two_wrapper.h"

namespace {

template <typename Response>
void refuse(Response& response) {
  response.code = -1;
  response.message = "command not available";
}

}  // namespace

void RosTwoWrapper::simulationPointCloudCallback(const PointCloud2&) {}
void RosTwoWrapper::singlePointCloudCallback(const PointCloud2&) {}
void RosTwoWrapper::simulationJointStatesCallback(const sensor_msgs::msg::JointState&) {}
void RosTwoWrapper::jointStatesCallback(const sensor_msgs::msg::JointState&) {}
void RosTwoWrapper::singleDepthMapCallback(const Image::ConstSharedPtr&) {}
void RosTwoWrapper::twoPointCloudsCallback(const PointCloud2::ConstSharedPtr&, const PointCloud2::ConstSharedPtr&) {}
void RosTwoWrapper::threePointCloudsCallback(const PointCloud2::ConstSharedPtr&, const PointCloud2::ConstSharedPtr&,
                                             const PointCloud2::ConstSharedPtr&) {}
void RosTwoWrapper::twoDepthMapCallback(const Image::ConstSharedPtr&, const Image::ConstSharedPtr&) {}
void RosTwoWrapper::threeDepthMapCallback(const Image::ConstSharedPtr&, const Image::ConstSharedPtr&,
                                          const Image::ConstSharedPtr&) {}

void RosTwoWrapper::armGrabCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmGrab::Request>,
                                          std::shared_ptr<vantrel_interfaces::srv::ArmGrab::Response> response) {
  refuse(*response);
}

void RosTwoWrapper::armReleaseCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmRelease::Request>,
                                             std::shared_ptr<vantrel_interfaces::srv::ArmRelease::Response> response) {
  refuse(*response);
}
