#include "arm_sim/scene_camera.hpp"

#include <utility>

#include "pcl_conversions/pcl_conversions.h"

namespace arm_sim
{
namespace
{

sensor_msgs::msg::PointCloud2 toMessage(const pcl::PointCloud<pcl::PointXYZ> & cloud)
{
  sensor_msgs::msg::PointCloud2 message;
  pcl::toROSMsg(cloud, message);
  return message;
}

}  // namespace

SceneCamera::SceneCamera(const rclcpp::Node::SharedPtr & node, Scene scene, SceneCameraConfig config)
: scene_(std::move(scene)), config_(std::move(config)),
  simulation_cloud_(toMessage(sampleSurfaces(scene_, config_.surface_spacing))),
  simulation_publisher_(node->create_publisher<sensor_msgs::msg::PointCloud2>(
      config_.simulation_topic, rclcpp::QoS(10)))
{
  for (const SimulatedCamera & camera : config_.cameras) {
    cloud_publishers_.push_back(node->create_publisher<sensor_msgs::msg::PointCloud2>(
        camera.cloud_topic, rclcpp::QoS(10)));
    image_publishers_.push_back(node->create_publisher<sensor_msgs::msg::Image>(
        camera.depth_topic, rclcpp::QoS(10)));
  }
}

void SceneCamera::setCameraToBase(size_t camera, const Eigen::Isometry3d & camera_to_base)
{
  config_.cameras.at(camera).model.camera_to_base = camera_to_base;
}

void SceneCamera::publishSimulationCloud(const builtin_interfaces::msg::Time & stamp)
{
  auto message = std::make_unique<sensor_msgs::msg::PointCloud2>(simulation_cloud_);
  message->header.stamp = stamp;
  message->header.frame_id = config_.base_frame_id;
  simulation_publisher_->publish(std::move(message));
}

void SceneCamera::publishCameraClouds(const builtin_interfaces::msg::Time & stamp)
{
  for (size_t i = 0; i < config_.cameras.size(); ++i) {
    const SimulatedCamera & camera = config_.cameras[i];
    const auto depth = renderDepth(scene_, camera.model);
    auto message = std::make_unique<sensor_msgs::msg::PointCloud2>(
      toMessage(toCameraCloud(depth, camera.model.intrinsics)));
    message->header.stamp = stamp;
    message->header.frame_id = camera.frame_id;
    cloud_publishers_[i]->publish(std::move(message));
  }
}

void SceneCamera::publishDepthImages(const builtin_interfaces::msg::Time & stamp)
{
  for (size_t i = 0; i < config_.cameras.size(); ++i) {
    const SimulatedCamera & camera = config_.cameras[i];
    auto message = std::make_unique<sensor_msgs::msg::Image>(
      toDepthImage(renderDepth(scene_, camera.model), camera.model.intrinsics));
    message->header.stamp = stamp;
    message->header.frame_id = camera.frame_id;
    image_publishers_[i]->publish(std::move(message));
  }
}

}  // namespace arm_sim
