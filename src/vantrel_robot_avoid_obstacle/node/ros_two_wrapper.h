#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <Eigen/Core>
#include <octomap/OcTree.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <control_msgs/action/follow_joint_trajectory.hpp>
#include <message_filters/subscriber.h>
#include <message_filters/sync_policies/approximate_time.h>
#include <message_filters/synchronizer.h>
#include <rclcpp/rclcpp.hpp>
#include <rclcpp_action/rclcpp_action.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/joint_state.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>
#include <std_msgs/msg/bool.hpp>
#include <std_msgs/msg/float64_multi_array.hpp>
#include <std_msgs/msg/string.hpp>
#include <tf2_ros/transform_broadcaster.h>
#include <vantrel_interfaces/srv/arm_grab.hpp>
#include <vantrel_interfaces/srv/arm_move_joints.hpp>
#include <vantrel_interfaces/srv/arm_release.hpp>
#include <visualization_msgs/msg/marker.hpp>

#include "grab/support_column.h"
#include "grab/grab_manager.h"
#include "node/command_logger.h"
#include "node/config_reader.h"
#include "node/pipe_line.h"
#include "node/point_cloud_filter.h"
#include "planning/manipulator_plan_scene.h"
#include "planning/trajectory_point.h"

// The process's one node object: three ROS nodes with their executors, the configuration, the obstacle data,
// the planning objects and every ROS entity. Built on the main thread before anything spins.
class RosTwoWrapper {
 public:
  using Cloud = pcl::PointCloud<pcl::PointXYZ>;
  using PointCloud2 = sensor_msgs::msg::PointCloud2;
  using Image = sensor_msgs::msg::Image;
  using FollowJointTrajectory = control_msgs::action::FollowJointTrajectory;

  // Builds everything from the configuration file at kConfigPath, relative to the working directory. A
  // set-up that cannot work (impossible settings, an invalid robot model, no planning group, joint counts
  // that disagree) ends construction early after its message: isReady() then stays false and no ROS entity
  // beyond the nodes exists. Exceptions of the planning scene pass through.
  RosTwoWrapper();
  ~RosTwoWrapper();
  RosTwoWrapper(const RosTwoWrapper&) = delete;
  RosTwoWrapper& operator=(const RosTwoWrapper&) = delete;

  static const char* const kConfigPath;

  bool isReady() const { return ready_; }

  // Spins node2 and node3 on their own threads and node1 on this one at 500 Hz until the context shuts down,
  // then joins both threads.
  void run();

 private:
  // Tests read the members through it.
  friend class RosTwoWrapperTestAccess;

  using TwoCloudsPolicy = message_filters::sync_policies::ApproximateTime<PointCloud2, PointCloud2>;
  using ThreeCloudsPolicy = message_filters::sync_policies::ApproximateTime<PointCloud2, PointCloud2, PointCloud2>;
  using TwoImagesPolicy = message_filters::sync_policies::ApproximateTime<Image, Image>;
  using ThreeImagesPolicy = message_filters::sync_policies::ApproximateTime<Image, Image, Image>;

  void readConfigParams();
  void printConfigParams() const;
  // Impossible settings are reported; false when any was found.
  bool checkConfigParams() const;
  // Model errors and a missing planning group are reported; false when planning cannot work.
  bool checkPlanScene() const;
  // The planning bundle, the limits printout and what depends on the joint count; false on an early end.
  bool setUpPlanning();
  void initRosNode();
  void initCameraEntities();
  template <typename Policy, typename Callback, typename... Subscribers>
  std::shared_ptr<message_filters::Synchronizer<Policy>> subscribeSynchronized(size_t depth, uint32_t queue_size,
                                                                                const std::array<std::string, 3>& topics,
                                                                                Callback callback,
                                                                                Subscribers&... subscribers);

  void robotDescriptionTimerCallback();
  void simulationPointCloudCallback(const PointCloud2& msg);
  void singlePointCloudCallback(const PointCloud2& msg);
  void simulationJointStatesCallback(const sensor_msgs::msg::JointState& msg);
  void jointStatesCallback(const sensor_msgs::msg::JointState& msg);
  void singleDepthMapCallback(const Image::ConstSharedPtr& msg);
  void twoPointCloudsCallback(const PointCloud2::ConstSharedPtr& msg1, const PointCloud2::ConstSharedPtr& msg2);
  void threePointCloudsCallback(const PointCloud2::ConstSharedPtr& msg1, const PointCloud2::ConstSharedPtr& msg2,
                                const PointCloud2::ConstSharedPtr& msg3);
  void twoDepthMapCallback(const Image::ConstSharedPtr& msg1, const Image::ConstSharedPtr& msg2);
  void threeDepthMapCallback(const Image::ConstSharedPtr& msg1, const Image::ConstSharedPtr& msg2,
                             const Image::ConstSharedPtr& msg3);
  // Sensor road. The entry test: true (after the message and a pause) while the obstacle map is frozen.
  bool obstacleMapFrozen();
  // Camera clouds of one message set, in camera order and their own frames; empty when one is malformed.
  static std::vector<Cloud::Ptr> cloudsFromMessages(const std::vector<const PointCloud2*>& messages);
  std::vector<Cloud::Ptr> cloudsFromDepthImages(const std::vector<Image::ConstSharedPtr>& images) const;
  // Brings the camera clouds into the base frame, merges them in camera order and updates the obstacle map.
  // `band_max_z` cuts camera 3's cloud to its depth band first.
  void updateFromCameras(const std::vector<Cloud::Ptr>& camera_clouds, double band_max_z, bool pause_after);
  // Forward kinematics of the current joints times `extrinsic`; false when the group has no solver.
  bool armMountedCameraToBase(const Eigen::Matrix4f& extrinsic, Eigen::Matrix4f& camera_to_base) const;
  // The obstacle cloud (filtered, or the finite points as they are) is made before scene_mutex_ is taken;
  // under it, unless the map was frozen meanwhile, it replaces the last one, is published and refills the
  // octree, which the collision world then holds.
  void updateObstacleMap(const Cloud::ConstPtr& cloud, bool filtered, bool pause_after);
  // Joint-state road: the group's positions by joint name, or by position when the message names none;
  // false, after a message, when the message does not give every group joint a finite value.
  bool groupPositionsFrom(const sensor_msgs::msg::JointState& msg, std::vector<double>& positions) const;
  bool takeJointState(const sensor_msgs::msg::JointState& msg, std::vector<double>& positions);
  void broadcastLinkTransforms(const std::vector<double>& positions);
  void printToolPose() const;
  int32_t moveToGoalCallback(const std_msgs::msg::Float64MultiArray& msg);
  void armMoveJointsCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmMoveJoints::Request> request,
                                   std::shared_ptr<vantrel_interfaces::srv::ArmMoveJoints::Response> response);
  void armGrabCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmGrab::Request> request,
                             std::shared_ptr<vantrel_interfaces::srv::ArmGrab::Response> response);
  void armReleaseCmdSrvCallback(const std::shared_ptr<vantrel_interfaces::srv::ArmRelease::Request> request,
                                std::shared_ptr<vantrel_interfaces::srv::ArmRelease::Response> response);

  // Grab and release: shared steps of the two handlers.
  // Empties the obstacle octree and fills it with the cloud's points; its node count afterwards.
  size_t refillOctree(const Cloud& cloud);
  // Hands the octree to the planning scene, after `message`, when it holds any node.
  void updateSceneOctomap(size_t node_count, const char* message);
  // With scene_mutex_ held: makes the octree the collision world's map, which empties the world; the support a
  // grabbed object was lifted from joins the map again. Every hand-over of the octree goes through here.
  void handObstacleMapToScene();
  // With scene_mutex_ held, once the grab has cut the box (pose `box_pose`, edges `box_size`) out of the map: makes
  // what the box stands on an obstacle again, just below the box, so that no grasp into it is chosen or approached.
  void placeGrabSupport(const Eigen::Matrix4d& box_pose, const std::array<double, 3>& box_size);
  // Once the grab succeeded, the arm at the grasp: attaches the held box (pose `box_pose` there) and lowers the
  // support's top as far as the box and the gripper, padded as the checks pad them while carrying, need, so that
  // every motion can start there.
  void holdGrabbedObject(const Eigen::Matrix4d& box_pose);
  // With scene_mutex_ held: the highest top in [low, high], to a millimetre, of the support at which each of `stands`
  // that is free without it stays free; none when the support blocks one even at `low`. Leaves the support in the
  // world at some top.
  std::optional<double> highestFreeSupportTop(const std::vector<std::vector<double>>& stands, double low, double high);
  // With scene_mutex_ held: the support leaves the world, once the map shows the place again.
  void dropGrabSupport();
  // With scene_mutex_ held, after a grab that failed: the map goes back to the latest cloud, object and support
  // included.
  void restoreMapAfterFailedGrab();
  void publishObstacleCloud(const Cloud& cloud);
  void publishBoxMarker(const Eigen::Matrix4d& box_pose, const std::array<double, 3>& box_size);
  // While an object is held the map stays frozen without it; otherwise the cameras take the map back.
  void unfreezeObstacleMapUnlessHeld();
  // The held box as the body "grab_object" on the tool link, for the arm at `joints`; false when there is no
  // tool link to carry it or the body cannot be attached. `report` prints the link found and the attaching.
  bool attachGrabObject(const std::vector<double>& joints, bool report);
  // `report` prints the removal.
  void detachGrabObject(bool report);
  // Release joints the arm can be sent to: as many as joints, finite and within the limits. Otherwise false
  // with the refusal's text, printed.
  bool checkReleaseJoints(const std::vector<double>& joints, std::string& refusal) const;

  // Motion: the trajectory goal and its result, and the motion commands. All run on the main thread except the
  // action client's callbacks, which run on "spinThread3".
  using GoalHandle = rclcpp_action::ClientGoalHandle<FollowJointTrajectory>;
  // Plans from the current joints to `goal` in the collision world as it stands (the obstacle map joins it
  // once it holds anything), sends the trajectory and waits for its result. `padding_mode` 1 pads the
  // gripper links with the robot padding, any other value leaves them unpadded. `path` is emptied, then
  // gets every trajectory sample's positions, or the start and the goal when planning failed (-201), or only
  // the start when the arm stands at the goal already (0, nothing sent).
  int32_t MoveToGoalNotUpdateObstacle(std::vector<double> goal, int padding_mode,
                                      std::vector<std::vector<double>>& path);
  // The gripper links' padding of a `padding_mode`.
  double gripperPadding(int padding_mode) const;
  FollowJointTrajectory::Goal generateFollowJointTrajectoryMsg(const std::vector<TrajectoryPoint>& trajectory_data);
  int32_t sendGoalAndWait(const FollowJointTrajectory::Goal& goal, const char* rejected_text, bool print_waiting);
  // `goal_number` tells the goal the callbacks were registered for; those of any other goal are ignored.
  void goalResponseCallback(const GoalHandle::SharedPtr& goal_handle, uint64_t goal_number);
  void feedbackCallback(GoalHandle::SharedPtr goal_handle,
                        std::shared_ptr<const FollowJointTrajectory::Feedback> feedback);
  void resultCallback(const GoalHandle::WrappedResult& result, uint64_t goal_number);
  // Copies start and goal into the pipeline and runs its driver under scene_mutex_; `add_filtered_cloud`
  // first adds the latest filtered cloud to the obstacle map unless an object is held. Returns the driver's
  // code; 0 with no samples when the arm stands at the goal already.
  int planToGoal(const std::vector<double>& goal, double gripper_padding, bool add_filtered_cloud,
                 std::vector<TrajectoryPoint>& points);
  // With scene_mutex_ held: shares the obstacle map with the collision world once it holds a node, unless the world
  // holds it already.
  void shareObstacleMapWithWorld(size_t node_count);
  int32_t moveToPoseGoal(const vantrel_interfaces::srv::ArmMoveJoints::Request& request);
  void publishCollisionEnable();
  // Numbers the goals sent; main thread only.
  uint64_t sent_goal_count_ = 0;
  std::mutex goal_handle_mutex_;
  // The number of the goal now awaited, 0 when none is: callbacks of any other goal are stale, and a stale
  // acceptance is cancelled because its command has given up on it.
  uint64_t awaited_goal_number_ = 0;
  // The accepted handle of the goal now awaited, kept to cancel it on a time-out.
  GoalHandle::SharedPtr awaited_goal_handle_;
  // One poll of the result wait; tests shorten it.
  std::chrono::microseconds result_wait_cycle_{100000};

  bool ready_ = false;

  // Nodes and executors. node1 is spun by the main loop, node2 and node3 by their executors' threads.
  rclcpp::executors::SingleThreadedExecutor node2_executor_;
  rclcpp::executors::SingleThreadedExecutor node3_executor_;
  std::shared_ptr<rclcpp::Node> node1_;
  std::shared_ptr<rclcpp::Node> node2_;
  std::shared_ptr<rclcpp::Node> node3_;

  // Configuration, written once during construction.
  std::unique_ptr<ConfigReader> config_reader_ptr_;
  bool real_robot_flag_ = false;
  bool print_joint_state_flag_ = false;
  bool print_debug_flag_ = false;
  bool close_obstacle_pointcloud_flag_ = false;
  bool grab_garbage_flag_ = false;
  int32_t cameras_num_ = 0;
  int32_t pointcloud_input_source_ = 0;
  double resolution_ = 0.0;
  double robot_padding_ = 0.0;
  double robot_scale_ = 0.0;
  double point_cloud_minx_ = 0.0;
  double point_cloud_maxx_ = 0.0;
  double point_cloud_miny_ = 0.0;
  double point_cloud_maxy_ = 0.0;
  double point_cloud_minz_ = 0.0;
  double point_cloud_maxz_ = 0.0;
  double grab_object_padding_ = 0.0;
  double grab_object_scale_ = 0.0;
  std::string robot_descriptions_path_;
  std::string urdf_path_;
  std::string srdf_path_;
  std::string planned_joint_group_;
  std::string robot_follow_joint_trajectory_topic_;
  std::string joints_state_topic_;
  std::string camera1_pointcloud_topic_;
  std::string camera2_pointcloud_topic_;
  std::string camera3_pointcloud_topic_;
  std::string camera1_depth_topic_;
  std::string camera2_depth_topic_;
  std::string camera3_depth_topic_;
  std::string arm_move_joints_srv_name_;
  std::string arm_grab_srv_name_;
  std::string arm_release_srv_name_;
  Eigen::Matrix4d tool_matrix_ = Eigen::Matrix4d::Zero();
  Eigen::Matrix4f camera1_to_robot_base_ = Eigen::Matrix4f::Zero();
  Eigen::Matrix4f camera2_to_robot_base_ = Eigen::Matrix4f::Zero();
  Eigen::Matrix4f camera3_to_robot_tcp_ = Eigen::Matrix4f::Zero();
  // Working transform of the single-camera modes.
  Eigen::Matrix4f camera_to_robot_base_ = Eigen::Matrix4f::Zero();
  // Zero until configured: a camera without configured intrinsics cannot turn depth images into points.
  CameraIntrinsic camera1_intrinsic_{};
  CameraIntrinsic camera2_intrinsic_{};
  CameraIntrinsic camera3_intrinsic_{};
  std::array<bool, 3> camera_intrinsic_configured_{};

  // Derived from the robot model.
  int32_t n_dof_ = 0;
  // Written by the joint-state callbacks on "spinThread", read by the command handlers on the main thread:
  // guarded by its own small lock, each reader takes a snapshot.
  std::vector<double> currentJointPositions() const;
  void setCurrentJointPositions(const std::vector<double>& positions);
  mutable std::mutex current_joint_positions_mutex_;
  std::vector<double> current_joint_positions_;
  std::vector<std::string> joint_names_;
  std::string base_frame_id_;

  // Obstacle data and the planning scene, shared between the sensor thread and the command handlers under
  // scene_mutex_.
  std::shared_ptr<octomap::OcTree> octomap_tree_ptr_;
  std::shared_ptr<Cloud> pc_robot_filter_;
  std::shared_ptr<Cloud> obb_removed_cloud_;
  std::mutex scene_mutex_;

  std::unique_ptr<PointCloudFilter> point_cloud_filter_ptr_;
  std::unique_ptr<CommandLogger> command_logger_ptr_;
  std::unique_ptr<ManipulatorPlanScene> plan_scene_ptr_;
  std::shared_ptr<PipeLine> pipeline_ptr_;
  std::unique_ptr<GrabManager> grab_manager_ptr_;

  // Handed between threads without scene_mutex_.
  std::atomic<bool> not_update_obstacle_info_flag_{false};
  std::atomic<int32_t> goal_result_code_{0};
  std::atomic<bool> result_received_flag_{false};
  std::atomic<int32_t> goal_response_status_{0};

  // Grab state.
  bool grab_goal_updated_flag_ = false;
  std::vector<double> grab_goal_;
  std::vector<double> transition_point_;
  Eigen::Matrix4d tcp_to_obb_matrix_ = Eigen::Matrix4d::Zero();
  std::array<double, 3> obb_size_{};
  // The obstacle under a grabbed object, from the grab until the map shows the place again; under scene_mutex_,
  // since the sensor road hands the octree over too.
  std::optional<UprightBox> grab_surface_;

  // ROS entities; those the configuration does not select stay empty. The filter subscribers are declared
  // before the synchronizers that connect to them, so the synchronizers go first.
  rclcpp::TimerBase::SharedPtr robot_description_timer_;
  std::unique_ptr<tf2_ros::TransformBroadcaster> tf_broadcaster_;
  rclcpp::Publisher<PointCloud2>::SharedPtr obstacle_pointcloud_pub_;
  rclcpp::Publisher<std_msgs::msg::String>::SharedPtr robot_description_pub_;
  rclcpp::Publisher<visualization_msgs::msg::Marker>::SharedPtr marker_pub_;
  rclcpp::Publisher<std_msgs::msg::Bool>::SharedPtr collision_enable_pub_;
  rclcpp::Subscription<PointCloud2>::SharedPtr pointcloud_sub_;
  rclcpp::Subscription<Image>::SharedPtr depth_image_sub_;
  rclcpp::Subscription<sensor_msgs::msg::JointState>::SharedPtr joint_states_sub_;
  rclcpp::Subscription<std_msgs::msg::Float64MultiArray>::SharedPtr move_to_goal_sub_;
  rclcpp_action::Client<FollowJointTrajectory>::SharedPtr follow_joint_trajectory_client_;
  rclcpp::Service<vantrel_interfaces::srv::ArmMoveJoints>::SharedPtr arm_move_joints_srv_;
  rclcpp::Service<vantrel_interfaces::srv::ArmGrab>::SharedPtr arm_grab_srv_;
  rclcpp::Service<vantrel_interfaces::srv::ArmRelease>::SharedPtr arm_release_srv_;
  message_filters::Subscriber<PointCloud2> camera1_pointcloud_sub_;
  message_filters::Subscriber<PointCloud2> camera2_pointcloud_sub_;
  message_filters::Subscriber<PointCloud2> camera3_pointcloud_sub_;
  message_filters::Subscriber<Image> camera1_depth_sub_;
  message_filters::Subscriber<Image> camera2_depth_sub_;
  message_filters::Subscriber<Image> camera3_depth_sub_;
  std::shared_ptr<message_filters::Synchronizer<TwoCloudsPolicy>> two_pointclouds_sync_;
  std::shared_ptr<message_filters::Synchronizer<ThreeCloudsPolicy>> three_pointclouds_sync_;
  std::shared_ptr<message_filters::Synchronizer<TwoImagesPolicy>> two_depth_maps_sync_;
  std::shared_ptr<message_filters::Synchronizer<ThreeImagesPolicy>> three_depth_maps_sync_;
};
