// The ROS entities the configuration selects, and the robot-description parameter refresh.
#include <array>
#include <cstdio>
#include <string>

#include "node/ros_two_wrapper.h"

namespace {

rclcpp::QoS reliableVolatile(size_t depth) {
  return rclcpp::QoS(rclcpp::KeepLast(depth)).reliable().durability_volatile();
}

// "<a>", "<a> and <b>" or "<a>, <b> and <c>".
std::string listedTopics(const std::array<std::string, 3>& topics, int count) {
  std::string listed = "<" + topics[0] + ">";
  for (int i = 1; i < count; ++i) listed += (i + 1 < count ? ", <" : " and <") + topics[i] + ">";
  return listed;
}

}  // namespace

// Subscribes one filter subscriber per camera, in camera order, and joins them in an approximate-time
// synchronizer that never matches stamps more than 5 s apart.
template <typename Policy, typename Callback, typename... Subscribers>
std::shared_ptr<message_filters::Synchronizer<Policy>> RosTwoWrapper::subscribeSynchronized(
    size_t depth, uint32_t queue_size, const std::array<std::string, 3>& topics, Callback callback,
    Subscribers&... subscribers) {
  const rmw_qos_profile_t qos = reliableVolatile(depth).get_rmw_qos_profile();
  size_t camera = 0;
  (subscribers.subscribe(node2_.get(), topics[camera++], qos), ...);
  Policy policy(queue_size);
  policy.setMaxIntervalDuration(rclcpp::Duration(5, 0));
  auto synchronizer = std::make_shared<message_filters::Synchronizer<Policy>>(policy, subscribers...);
  synchronizer->registerCallback(std::move(callback));
  return synchronizer;
}

void RosTwoWrapper::initRosNode() {
  using sensor_msgs::msg::JointState;
  if (!real_robot_flag_) {
    pointcloud_sub_ = node2_->create_subscription<PointCloud2>(
        "/pointcloud/output", reliableVolatile(3), [this](const PointCloud2& msg) { simulationPointCloudCallback(msg); });
    joint_states_sub_ = node2_->create_subscription<JointState>(
        joints_state_topic_, reliableVolatile(3), [this](const JointState& msg) { simulationJointStatesCallback(msg); });
    follow_joint_trajectory_client_ =
        rclcpp_action::create_client<FollowJointTrajectory>(node3_, robot_follow_joint_trajectory_topic_);
  } else {
    joint_states_sub_ = node2_->create_subscription<JointState>(
        joints_state_topic_, rclcpp::QoS(rclcpp::KeepLast(1)).best_effort().durability_volatile(),
        [this](const JointState& msg) { jointStatesCallback(msg); });
    initCameraEntities();
    follow_joint_trajectory_client_ =
        rclcpp_action::create_client<FollowJointTrajectory>(node3_, robot_follow_joint_trajectory_topic_);
    collision_enable_pub_ =
        node2_->create_publisher<std_msgs::msg::Bool>("/robot/collision_enable_topic", reliableVolatile(1));
  }

  obstacle_pointcloud_pub_ = node2_->create_publisher<PointCloud2>("/obstacle_pointcloud", reliableVolatile(10));
  robot_description_pub_ = node2_->create_publisher<std_msgs::msg::String>(
      "/robot_description", rclcpp::QoS(rclcpp::KeepLast(1)).reliable().transient_local());
  move_to_goal_sub_ = node1_->create_subscription<std_msgs::msg::Float64MultiArray>(
      "/move_to_goal", reliableVolatile(10),
      [this](const std_msgs::msg::Float64MultiArray& msg) { return moveToGoalCallback(msg); });
  if (grab_garbage_flag_) {
    using namespace vantrel_interfaces::srv;
    arm_move_joints_srv_ = node1_->create_service<ArmMoveJoints>(
        arm_move_joints_srv_name_,
        [this](std::shared_ptr<ArmMoveJoints::Request> request, std::shared_ptr<ArmMoveJoints::Response> response) {
          armMoveJointsCmdSrvCallback(std::move(request), std::move(response));
        });
    arm_grab_srv_ = node1_->create_service<ArmGrab>(
        arm_grab_srv_name_,
        [this](std::shared_ptr<ArmGrab::Request> request, std::shared_ptr<ArmGrab::Response> response) {
          armGrabCmdSrvCallback(std::move(request), std::move(response));
        });
    arm_release_srv_ = node1_->create_service<ArmRelease>(
        arm_release_srv_name_,
        [this](std::shared_ptr<ArmRelease::Request> request, std::shared_ptr<ArmRelease::Response> response) {
          armReleaseCmdSrvCallback(std::move(request), std::move(response));
        });
  }
  marker_pub_ = node1_->create_publisher<visualization_msgs::msg::Marker>("visualization_marker", reliableVolatile(10));
}

void RosTwoWrapper::initCameraEntities() {
  if (cameras_num_ < 1 || cameras_num_ > 3) {
    puts("cameras_num init error!");
    return;
  }
  if (close_obstacle_pointcloud_flag_ || (pointcloud_input_source_ != 1 && pointcloud_input_source_ != 2)) {
    puts("pointcloud input source error");
    return;
  }
  const bool clouds = pointcloud_input_source_ == 1;
  const std::array<std::string, 3> topics =
      clouds ? std::array<std::string, 3>{camera1_pointcloud_topic_, camera2_pointcloud_topic_, camera3_pointcloud_topic_}
             : std::array<std::string, 3>{camera1_depth_topic_, camera2_depth_topic_, camera3_depth_topic_};
  printf("%s subscribe topic: %s\n", clouds ? "pointclouds" : "depth map", listedTopics(topics, cameras_num_).c_str());

  using Clouds = PointCloud2::ConstSharedPtr;
  using Images = Image::ConstSharedPtr;
  switch (cameras_num_ * 10 + pointcloud_input_source_) {
    case 11:
      pointcloud_sub_ = node2_->create_subscription<PointCloud2>(
          topics[0], reliableVolatile(10), [this](const PointCloud2& msg) { singlePointCloudCallback(msg); });
      break;
    case 12:
      depth_image_sub_ = node2_->create_subscription<Image>(topics[0], reliableVolatile(10),
                                                            [this](const Images& msg) { singleDepthMapCallback(msg); });
      break;
    case 21:
      two_pointclouds_sync_ = subscribeSynchronized<TwoCloudsPolicy>(
          2, 10, topics, [this](const Clouds& msg1, const Clouds& msg2) { twoPointCloudsCallback(msg1, msg2); },
          camera1_pointcloud_sub_, camera2_pointcloud_sub_);
      break;
    case 22:
      two_depth_maps_sync_ = subscribeSynchronized<TwoImagesPolicy>(
          5, 5, topics, [this](const Images& msg1, const Images& msg2) { twoDepthMapCallback(msg1, msg2); },
          camera1_depth_sub_, camera2_depth_sub_);
      break;
    case 31:
      three_pointclouds_sync_ = subscribeSynchronized<ThreeCloudsPolicy>(
          3, 10, topics,
          [this](const Clouds& msg1, const Clouds& msg2, const Clouds& msg3) {
            threePointCloudsCallback(msg1, msg2, msg3);
          },
          camera1_pointcloud_sub_, camera2_pointcloud_sub_, camera3_pointcloud_sub_);
      break;
    default:
      three_depth_maps_sync_ = subscribeSynchronized<ThreeImagesPolicy>(
          10, 10, topics,
          [this](const Images& msg1, const Images& msg2, const Images& msg3) { threeDepthMapCallback(msg1, msg2, msg3); },
          camera1_depth_sub_, camera2_depth_sub_, camera3_depth_sub_);
  }
}

// Runs on the main thread; the description text is written only while the scene is built.
void RosTwoWrapper::robotDescriptionTimerCallback() {
  node1_->set_parameters({rclcpp::Parameter("/robot_description", plan_scene_ptr_->getRobotDescription())});
}
