// The ROS entities the configuration selects, and the robot-description parameter refresh.
#include <cstdio>

#include "node/ros_two_wrapper.h"

namespace {

rclcpp::QoS reliableVolatile(size_t depth) {
  return rclcpp::QoS(rclcpp::KeepLast(depth)).reliable().durability_volatile();
}

}  // namespace

template <typename Policy, typename Callback, typename... Subscribers>
std::shared_ptr<message_filters::Synchronizer<Policy>> RosTwoWrapper::makeSynchronizer(
    uint32_t queue_size, Callback callback, Subscribers&... subscribers) {
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
  const char* const topic1 = (pointcloud_input_source_ == 1 ? camera1_pointcloud_topic_ : camera1_depth_topic_).c_str();
  const char* const topic2 = (pointcloud_input_source_ == 1 ? camera2_pointcloud_topic_ : camera2_depth_topic_).c_str();
  const char* const topic3 = (pointcloud_input_source_ == 1 ? camera3_pointcloud_topic_ : camera3_depth_topic_).c_str();
  using Clouds = PointCloud2::ConstSharedPtr;
  using Images = Image::ConstSharedPtr;

  if (pointcloud_input_source_ == 1) {
    if (cameras_num_ == 1) {
      printf("pointclouds subscribe topic: <%s>\n", topic1);
      pointcloud_sub_ = node2_->create_subscription<PointCloud2>(
          topic1, reliableVolatile(10), [this](const PointCloud2& msg) { singlePointCloudCallback(msg); });
    } else if (cameras_num_ == 2) {
      printf("pointclouds subscribe topic: <%s> and <%s>\n", topic1, topic2);
      const auto qos = reliableVolatile(2).get_rmw_qos_profile();
      camera1_pointcloud_sub_.subscribe(node2_.get(), topic1, qos);
      camera2_pointcloud_sub_.subscribe(node2_.get(), topic2, qos);
      two_pointclouds_sync_ = makeSynchronizer<TwoCloudsPolicy>(
          10, [this](const Clouds& msg1, const Clouds& msg2) { twoPointCloudsCallback(msg1, msg2); },
          camera1_pointcloud_sub_, camera2_pointcloud_sub_);
    } else {
      printf("pointclouds subscribe topic: <%s>, <%s> and <%s>\n", topic1, topic2, topic3);
      const auto qos = reliableVolatile(3).get_rmw_qos_profile();
      camera1_pointcloud_sub_.subscribe(node2_.get(), topic1, qos);
      camera2_pointcloud_sub_.subscribe(node2_.get(), topic2, qos);
      camera3_pointcloud_sub_.subscribe(node2_.get(), topic3, qos);
      three_pointclouds_sync_ = makeSynchronizer<ThreeCloudsPolicy>(
          10,
          [this](const Clouds& msg1, const Clouds& msg2, const Clouds& msg3) {
            threePointCloudsCallback(msg1, msg2, msg3);
          },
          camera1_pointcloud_sub_, camera2_pointcloud_sub_, camera3_pointcloud_sub_);
    }
    return;
  }
  if (cameras_num_ == 1) {
    printf("depth map subscribe topic: <%s>\n", topic1);
    depth_image_sub_ = node2_->create_subscription<Image>(topic1, reliableVolatile(10),
                                                          [this](const Images& msg) { singleDepthMapCallback(msg); });
  } else if (cameras_num_ == 2) {
    printf("depth map subscribe topic: <%s> and <%s>\n", topic1, topic2);
    const auto qos = reliableVolatile(5).get_rmw_qos_profile();
    camera1_depth_sub_.subscribe(node2_.get(), topic1, qos);
    camera2_depth_sub_.subscribe(node2_.get(), topic2, qos);
    two_depth_maps_sync_ = makeSynchronizer<TwoImagesPolicy>(
        5, [this](const Images& msg1, const Images& msg2) { twoDepthMapCallback(msg1, msg2); }, camera1_depth_sub_,
        camera2_depth_sub_);
  } else {
    printf("depth map subscribe topic: <%s>, <%s> and <%s>\n", topic1, topic2, topic3);
    const auto qos = reliableVolatile(10).get_rmw_qos_profile();
    camera1_depth_sub_.subscribe(node2_.get(), topic1, qos);
    camera2_depth_sub_.subscribe(node2_.get(), topic2, qos);
    camera3_depth_sub_.subscribe(node2_.get(), topic3, qos);
    three_depth_maps_sync_ = makeSynchronizer<ThreeImagesPolicy>(
        10,
        [this](const Images& msg1, const Images& msg2, const Images& msg3) { threeDepthMapCallback(msg1, msg2, msg3); },
        camera1_depth_sub_, camera2_depth_sub_, camera3_depth_sub_);
  }
}

// Runs on the main thread; the description text is written only while the scene is built.
void RosTwoWrapper::robotDescriptionTimerCallback() {
  node1_->set_parameters({rclcpp::Parameter("/robot_description", plan_scene_ptr_->getRobotDescription())});
}
