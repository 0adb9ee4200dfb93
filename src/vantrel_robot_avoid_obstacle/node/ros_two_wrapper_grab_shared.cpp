// Steps shared by the grab and release handlers: the obstacle octree, the published cloud and box.
#include <pcl_conversions/pcl_conversions.h>

#include "grab/pose_conversion.h"
#include "node/ros_two_wrapper.h"

size_t RosTwoWrapper::refillOctree(const Cloud& cloud) {
  octomap_tree_ptr_->clear();
  for (const pcl::PointXYZ& point : cloud) {
    octomap_tree_ptr_->updateNode(octomap::point3d(point.x, point.y, point.z), true, false);
  }
  octomap_tree_ptr_->updateInnerOccupancy();
  return octomap_tree_ptr_->calcNumNodes();
}

void RosTwoWrapper::updateSceneOctomap(size_t node_count, const char* message) {
  if (node_count == 0) return;
  puts(message);
  handObstacleMapToScene();
}

void RosTwoWrapper::publishObstacleCloud(const Cloud& cloud) {
  PointCloud2 message;
  pcl::toROSMsg(cloud, message);
  message.header.frame_id = base_frame_id_;
  obstacle_pointcloud_pub_->publish(message);
}

void RosTwoWrapper::publishBoxMarker(const Eigen::Matrix4d& box_pose, const std::array<double, 3>& box_size) {
  visualization_msgs::msg::Marker marker;
  marker.header.stamp = node1_->now();
  marker.header.frame_id = base_frame_id_;
  marker.id = 0;
  marker.type = visualization_msgs::msg::Marker::CUBE;
  marker.action = visualization_msgs::msg::Marker::ADD;
  const Pose7 pose = isometryToPose(box_pose);
  marker.pose.position.x = pose[0];
  marker.pose.position.y = pose[1];
  marker.pose.position.z = pose[2];
  marker.pose.orientation.x = pose[3];
  marker.pose.orientation.y = pose[4];
  marker.pose.orientation.z = pose[5];
  marker.pose.orientation.w = pose[6];
  marker.scale.x = box_size[0];
  marker.scale.y = box_size[1];
  marker.scale.z = box_size[2];
  marker.color.r = 0.0f;
  marker.color.g = 1.0f;
  marker.color.b = 0.0f;
  marker.color.a = 1.0f;
  marker_pub_->publish(marker);
}
