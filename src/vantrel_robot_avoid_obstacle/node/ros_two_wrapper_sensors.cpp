// Camera callbacks: one to three camera streams become one obstacle cloud in the base frame and the octree.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include <pcl/common/transforms.h>
#include <pcl_conversions/pcl_conversions.h>

#include "node/obstacle_octree.h"
#include "node/point_cloud_depth_image.h"
#include "node/point_cloud_message.h"
#include "node/point_cloud_operations.h"
#include "node/point_cloud_snapshot.h"
#include "node/ros_two_wrapper.h"

namespace {

using Cloud = RosTwoWrapper::Cloud;

// Upper bounds of camera 3's depth band, in its own frame.
constexpr double kCloudDepthBand = 2.0;
constexpr double kDepthImageDepthBand = 1.5;
constexpr auto kDroppedPause = std::chrono::milliseconds(100);
constexpr auto kUpdatePause = std::chrono::milliseconds(50);

Cloud::Ptr transformed(const Cloud& cloud, const Eigen::Matrix4f& transform) {
  Cloud::Ptr result(new Cloud);
  pcl::transformPointCloud(cloud, *result, transform);
  return result;
}

Cloud::Ptr concatenated(const Cloud::ConstPtr& a, const Cloud::ConstPtr& b) {
  Cloud::Ptr result(new Cloud);
  concatenatePointClouds(a, b, result);
  return result;
}

void printFlagLine(const char* callback, bool flag) {
  printf("not_update_obstacle_info_flag_====%s===%d\n", callback, flag);
}

}  // namespace

bool RosTwoWrapper::obstacleMapFrozen() {
  if (!not_update_obstacle_info_flag_) return false;
  puts("not need update_obstacle");
  std::this_thread::sleep_for(kDroppedPause);
  return true;
}

std::vector<RosTwoWrapper::Cloud::Ptr> RosTwoWrapper::cloudsFromMessages(
    const std::vector<const PointCloud2*>& messages) {
  std::vector<Cloud::Ptr> clouds;
  for (const PointCloud2* message : messages) {
    Cloud::Ptr cloud(new Cloud);
    if (!pointCloudFromMessage(*message, *cloud)) return {};
    clouds.push_back(cloud);
  }
  return clouds;
}

std::vector<RosTwoWrapper::Cloud::Ptr> RosTwoWrapper::cloudsFromDepthImages(
    const std::vector<Image::ConstSharedPtr>& images) const {
  const CameraIntrinsic* intrinsics[] = {&camera1_intrinsic_, &camera2_intrinsic_, &camera3_intrinsic_};
  std::vector<Cloud::Ptr> clouds;
  for (size_t camera = 0; camera < images.size(); ++camera) {
    if (!camera_intrinsic_configured_[camera]) {
      printf("depth image dropped: camera%zu has no configured intrinsics\n", camera + 1);
      return {};
    }
    const CameraIntrinsic& intrinsic = *intrinsics[camera];
    Cloud::Ptr cloud(new Cloud);
    if (!depthImageToPointCloud(cloud, images[camera], intrinsic[0], intrinsic[1], intrinsic[2], intrinsic[3])) {
      return {};
    }
    clouds.push_back(cloud);
  }
  return clouds;
}

bool RosTwoWrapper::armMountedCameraToBase(const Eigen::Matrix4f& extrinsic, Eigen::Matrix4f& camera_to_base) const {
  Eigen::MatrixXd flange;
  plan_scene_ptr_->getPlanningGroup()->forwardKinematics(currentJointPositions(), flange);
  if (flange.rows() != 4 || flange.cols() != 4) {
    puts("camera clouds dropped: the arm-mounted camera has no pose without forward kinematics");
    return false;
  }
  camera_to_base = flange.cast<float>() * extrinsic;
  return true;
}

void RosTwoWrapper::updateFromCameras(const std::vector<Cloud::Ptr>& camera_clouds, double band_max_z,
                                      bool pause_after) {
  if (camera_clouds.empty()) return;
  Cloud::Ptr merged;
  if (camera_clouds.size() == 1) {
    // The single camera's extrinsic is taken relative to the forward-kinematics frame.
    if (!armMountedCameraToBase(camera1_to_robot_base_, camera_to_robot_base_)) return;
    merged = transformed(*camera_clouds[0], camera_to_robot_base_);
  } else {
    Eigen::Matrix4f camera3_to_base;
    if (camera_clouds.size() == 3 && !armMountedCameraToBase(camera3_to_robot_tcp_, camera3_to_base)) return;
    merged = concatenated(transformed(*camera_clouds[0], camera1_to_robot_base_),
                          transformed(*camera_clouds[1], camera2_to_robot_base_));
    if (camera_clouds.size() == 3) {
      Cloud::Ptr band(new Cloud);
      filterPointCloudByZ(camera_clouds[2], band, band_max_z);
      merged = concatenated(merged, transformed(*band, camera3_to_base));
    }
  }
  updateObstacleMap(merged, true, pause_after);
}

void RosTwoWrapper::updateObstacleMap(const Cloud::ConstPtr& cloud, bool filtered, bool pause_after) {
  // Cleaned, checked and put in its message before the lock: the commands keep planning meanwhile. Only this
  // thread writes the obstacle cloud, so it reads it without the lock.
  Cloud::Ptr obstacles(new Cloud);
  bool snapshot = false;
  if (filtered) {
    // A cloud that empties in the box keeps the previous cloud's header, as a cleared cloud would.
    obstacles->header = pc_robot_filter_->header;
    snapshot = point_cloud_filter_ptr_->filterPointCloud(cloud, obstacles);
  } else {
    keepFinitePoints(*cloud, *obstacles);
  }
  const size_t outside = countOutsideOctreeCube(*octomap_tree_ptr_, *obstacles);
  if (outside > 0) printf("\033[33m points outside octree range exist in pointclouds! \033[0m%zu\n", outside);
  auto message = std::make_unique<PointCloud2>();
  pcl::toROSMsg(*obstacles, *message);
  message->header = std_msgs::msg::Header();
  message->header.frame_id = base_frame_id_;

  {
    std::unique_lock<std::mutex> lock(scene_mutex_);
    // Set since the entry test: the map stays as it is. The pause comes after the lock is released.
    if (not_update_obstacle_info_flag_) {
      lock.unlock();
      puts("not need update_obstacle");
      std::this_thread::sleep_for(kDroppedPause);
      return;
    }
    pc_robot_filter_->swap(*obstacles);
    // Under the lock: the snapshot the command logs copy is always of the map the commands saw.
    if (snapshot) writePointCloudSnapshot(kObstacleSnapshotFile, *pc_robot_filter_);
    obstacle_pointcloud_pub_->publish(std::move(message));

    // The collision world reads this tree at every check: it is refilled only under the lock.
    rebuildObstacleOctree(*octomap_tree_ptr_, *pc_robot_filter_);
    // Not frozen: nothing is held, and the cloud shows what a grabbed object stood on again.
    dropGrabSupport();
    shareObstacleMapWithWorld(octomap_tree_ptr_->size());
  }
  if (pause_after) std::this_thread::sleep_for(kUpdatePause);
}

void RosTwoWrapper::simulationPointCloudCallback(const PointCloud2& msg) {
  if (print_joint_state_flag_) puts("simulationPointCloudCallback");
  if (obstacleMapFrozen()) return;
  const std::vector<Cloud::Ptr> clouds = cloudsFromMessages({&msg});
  // Already in the base frame and clean: only non-finite points are kept out.
  if (!clouds.empty()) updateObstacleMap(clouds[0], false, true);
}

void RosTwoWrapper::singlePointCloudCallback(const PointCloud2& msg) {
  puts("singlePointCloudCallback");
  if (obstacleMapFrozen()) return;
  updateFromCameras(cloudsFromMessages({&msg}), kCloudDepthBand, true);
}

void RosTwoWrapper::singleDepthMapCallback(const Image::ConstSharedPtr& msg) {
  if (obstacleMapFrozen()) return;
  printFlagLine("singleDepthMapCallback", not_update_obstacle_info_flag_);
  updateFromCameras(cloudsFromDepthImages({msg}), kDepthImageDepthBand, true);
}

void RosTwoWrapper::twoPointCloudsCallback(const PointCloud2::ConstSharedPtr& msg1,
                                           const PointCloud2::ConstSharedPtr& msg2) {
  if (obstacleMapFrozen()) return;
  std::cout << " twoPointCloudsCallback ============================> " << std::this_thread::get_id() << std::endl;
  updateFromCameras(cloudsFromMessages({msg1.get(), msg2.get()}), kCloudDepthBand, true);
}

void RosTwoWrapper::twoDepthMapCallback(const Image::ConstSharedPtr& msg1, const Image::ConstSharedPtr& msg2) {
  if (obstacleMapFrozen()) return;
  printFlagLine("twoDepthMapCallback", not_update_obstacle_info_flag_);
  updateFromCameras(cloudsFromDepthImages({msg1, msg2}), kDepthImageDepthBand, true);
}

void RosTwoWrapper::threePointCloudsCallback(const PointCloud2::ConstSharedPtr& msg1,
                                             const PointCloud2::ConstSharedPtr& msg2,
                                             const PointCloud2::ConstSharedPtr& msg3) {
  if (obstacleMapFrozen()) return;
  printFlagLine("threePointCloudsCallback", not_update_obstacle_info_flag_);
  updateFromCameras(cloudsFromMessages({msg1.get(), msg2.get(), msg3.get()}), kCloudDepthBand, true);
}

void RosTwoWrapper::threeDepthMapCallback(const Image::ConstSharedPtr& msg1, const Image::ConstSharedPtr& msg2,
                                          const Image::ConstSharedPtr& msg3) {
  if (obstacleMapFrozen()) return;
  printFlagLine("threeDepthMapCallback", not_update_obstacle_info_flag_);
  updateFromCameras(cloudsFromDepthImages({msg1, msg2, msg3}), kDepthImageDepthBand, false);
}
