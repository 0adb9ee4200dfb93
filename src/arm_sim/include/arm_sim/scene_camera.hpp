// Publishes the synthetic scene as the node's camera inputs: one cloud in the base frame for
// simulation, or per-camera clouds or depth images for the real-robot modes.
#ifndef ARM_SIM__SCENE_CAMERA_HPP_
#define ARM_SIM__SCENE_CAMERA_HPP_

#include <memory>
#include <string>
#include <vector>

#include "arm_sim/depth_rendering.hpp"
#include "arm_sim/scene.hpp"
#include "builtin_interfaces/msg/time.hpp"
#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"

namespace arm_sim
{

struct SimulatedCamera
{
  std::string cloud_topic;  // PointCloud2 in the camera's optical frame
  std::string depth_topic;  // 16UC1 Image
  std::string frame_id;
  DepthCameraModel model;
};

struct SceneCameraConfig
{
  std::string simulation_topic = "/pointcloud/output";
  std::string base_frame_id;       // frame of the simulation cloud
  double surface_spacing = 0.01;   // metres between points of the simulation cloud
  std::vector<SimulatedCamera> cameras;  // in camera order 1, 2, 3
};

// Used from one thread: publishing and moving a camera are not synchronised.
class SceneCamera
{
public:
  // Makes one publisher per configured topic. Throws std::invalid_argument for a spacing that
  // is not positive.
  SceneCamera(const rclcpp::Node::SharedPtr & node, Scene scene, SceneCameraConfig config);

  // A camera carried by the arm moves with it: the caller passes its new extrinsic.
  void setCameraToBase(size_t camera, const Eigen::Isometry3d & camera_to_base);

  void publishSimulationCloud(const builtin_interfaces::msg::Time & stamp);
  // One message per camera, all with the same stamp.
  void publishCameraClouds(const builtin_interfaces::msg::Time & stamp);
  void publishDepthImages(const builtin_interfaces::msg::Time & stamp);

private:
  using CloudPublisher = rclcpp::Publisher<sensor_msgs::msg::PointCloud2>;
  using ImagePublisher = rclcpp::Publisher<sensor_msgs::msg::Image>;

  const Scene scene_;
  SceneCameraConfig config_;
  const sensor_msgs::msg::PointCloud2 simulation_cloud_;
  std::shared_ptr<CloudPublisher> simulation_publisher_;
  std::vector<std::shared_ptr<CloudPublisher>> cloud_publishers_;
  std::vector<std::shared_ptr<ImagePublisher>> image_publishers_;
};

}  // namespace arm_sim

#endif  // ARM_SIM__SCENE_CAMERA_HPP_
