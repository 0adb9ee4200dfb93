#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <sensor_msgs/msg/image.hpp>

// Turns a 16-bit depth image (millimetres) into points in the camera's optical frame through the pinhole
// intrinsics; zero depths are skipped, rows are read at the image's step. Refuses, with a message and an
// empty output, intrinsics whose fx or fy is zero or not finite and images that are not "16UC1" or
// "mono16", whose step is shorter than a row or whose data is shorter than step x height. Returns whether
// the image was converted.
bool depthImageToPointCloud(const pcl::PointCloud<pcl::PointXYZ>::Ptr& output,
                            const sensor_msgs::msg::Image::ConstSharedPtr& image, float fx, float cx, float fy,
                            float cy);
