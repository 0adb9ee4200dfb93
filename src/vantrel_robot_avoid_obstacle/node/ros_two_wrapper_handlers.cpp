// Entry points of the sensor streams and the joint states. Their work is added with the sensor handling; until
// then messages are taken and dropped.
#include "node/ros_two_wrapper.h"

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
