// Filled samples of the types that cross processes, shared by the codec tests and the fuzz
// target's seeds.
#ifndef ROS2_STANDIN_TEST_DDS_CODEC_SAMPLES_HPP_
#define ROS2_STANDIN_TEST_DDS_CODEC_SAMPLES_HPP_

#include <cmath>
#include <limits>
#include <string>

#include "control_msgs/action/follow_joint_trajectory.hpp"
#include "rclcpp/transport/introspection.hpp"
#include "sensor_msgs/msg/joint_state.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "vantrel_interfaces/srv/arm_grab.hpp"
#include "visualization_msgs/msg/marker.hpp"

namespace codec_samples
{

template<typename MessageT>
const rosidl_typesupport_introspection_cpp::MessageMembers & members()
{
  return *rclcpp::transport::introspection_of<MessageT>().message;
}

inline sensor_msgs::msg::JointState joint_state()
{
  sensor_msgs::msg::JointState state;
  state.header.stamp.sec = -1;
  state.header.stamp.nanosec = 999999999;
  state.header.frame_id = "base_link";
  state.name = {"shoulder", "", "wrist_3"};
  state.position = {0.0, M_PI / 2, -M_PI};
  state.velocity = {std::numeric_limits<double>::infinity(), -0.0, 1e-300};
  return state;
}

inline sensor_msgs::msg::PointCloud2 point_cloud(uint32_t points)
{
  sensor_msgs::msg::PointCloud2 cloud;
  cloud.header.frame_id = "camera_depth_optical_frame";
  cloud.height = 1;
  cloud.width = points;
  for (const char * name : {"x", "y", "z"}) {
    const auto offset = static_cast<uint32_t>(4 * cloud.fields.size());
    cloud.fields.push_back(sensor_msgs::msg::PointField().set__name(name).set__offset(offset)
      .set__datatype(sensor_msgs::msg::PointField::FLOAT32).set__count(1));
  }
  cloud.point_step = 16;
  cloud.row_step = 16 * points;
  cloud.data.resize(cloud.row_step);
  for (size_t i = 0; i < cloud.data.size(); ++i) {
    cloud.data[i] = static_cast<uint8_t>(i * 7);
  }
  cloud.is_dense = true;
  return cloud;
}

inline visualization_msgs::msg::Marker marker()
{
  visualization_msgs::msg::Marker marker;
  marker.header.frame_id = "world";
  marker.ns = "obstacles";
  marker.id = 7;
  marker.type = visualization_msgs::msg::Marker::TRIANGLE_LIST;
  marker.pose.orientation.w = 1.0;
  marker.scale.x = 0.5;
  marker.color.a = 0.75f;
  marker.frame_locked = true;
  marker.points.resize(3);
  marker.points[1].y = 2.0;
  marker.texture_resource = "embedded://texture";
  marker.texture.format = "png";
  marker.texture.data = {0x89, 'P', 'N', 'G'};
  marker.uv_coordinates.resize(3);
  marker.uv_coordinates[2].u = 1.0f;
  marker.mesh_file.filename = "box.stl";
  marker.mesh_file.data = {1, 2, 3};
  marker.mesh_use_embedded_materials = true;
  return marker;
}

inline control_msgs::action::FollowJointTrajectory::Goal trajectory_goal()
{
  control_msgs::action::FollowJointTrajectory::Goal goal;
  goal.trajectory.header.frame_id = "base_link";
  goal.trajectory.joint_names = {"joint_1", "joint_2"};
  goal.trajectory.points.resize(2);
  goal.trajectory.points[1].positions = {M_PI / 2, -M_PI / 2};
  goal.trajectory.points[1].time_from_start.sec = 2;
  goal.multi_dof_trajectory.joint_names = {"floating"};
  goal.multi_dof_trajectory.points.resize(1);
  goal.multi_dof_trajectory.points[0].transforms.resize(1);
  goal.multi_dof_trajectory.points[0].transforms[0].rotation.w = 1.0;
  goal.path_tolerance.resize(1);
  goal.path_tolerance[0].name = "joint_1";
  goal.path_tolerance[0].position = 0.01;
  goal.component_goal_tolerance.resize(1);
  goal.component_goal_tolerance[0].joint_name = "floating";
  goal.component_goal_tolerance[0].component = 5;
  goal.goal_time_tolerance.nanosec = 500000000;
  return goal;
}

inline vantrel_interfaces::srv::ArmGrab::Request arm_grab_request()
{
  vantrel_interfaces::srv::ArmGrab::Request request;
  request.cmd_type = -3;
  request.reserved_flag = true;
  request.target_pose = {0.4, -0.1, 0.3, 0.0, 0.0, std::sqrt(0.5), std::sqrt(0.5)};
  request.obb_size = {0.05, 0.05, 0.12};
  return request;
}

}  // namespace codec_samples

#endif  // ROS2_STANDIN_TEST_DDS_CODEC_SAMPLES_HPP_
