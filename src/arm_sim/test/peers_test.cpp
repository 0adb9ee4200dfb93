// The command client against fake services, the recorders against publishers with the node's
// qualities of service, and the scene camera's messages as a subscriber receives them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "arm_sim/command_client.hpp"
#include "arm_sim/scene_camera.hpp"
#include "arm_sim/topic_recorders.hpp"
#include "pcl_conversions/pcl_conversions.h"

#include "../../ros2_standin/test/support/ros_test_support.hpp"

namespace
{

using namespace std::chrono_literals;
using arm_sim::CommandClient;

class PeersTest : public RosTest
{
protected:
  void SetUp() override
  {
    RosTest::SetUp();
    peer_node_ = std::make_shared<rclcpp::Node>("peer");
    node_ = std::make_shared<rclcpp::Node>("arm_node");
  }

  void TearDown() override
  {
    spin_.reset();
    RosTest::TearDown();
  }

  void spin()
  {
    executor_.add_node(peer_node_);
    executor_.add_node(node_);
    spin_ = std::make_unique<SpinThread>(executor_);
  }

  rclcpp::Node::SharedPtr peer_node_;
  rclcpp::Node::SharedPtr node_;  // stands in for the arm node
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::unique_ptr<SpinThread> spin_;
};

// A fake service that answers with `code` computed from the request.
template<typename ServiceT, typename CodeT>
typename rclcpp::Service<ServiceT>::SharedPtr fakeService(
  const rclcpp::Node::SharedPtr & node, const std::string & name, CodeT code)
{
  return node->create_service<ServiceT>(name, [name, code](
             std::shared_ptr<typename ServiceT::Request> request,
             std::shared_ptr<typename ServiceT::Response> response) {
             response->code = code(*request);
             response->message = name;
           });
}

TEST_F(PeersTest, CommandClientRoundTripsEveryCommand)
{
  CommandClient client(peer_node_);
  auto move_joints = fakeService<CommandClient::ArmMoveJoints>(node_, "/arm_move_joints",
      [](const auto & request) {return request.cmd_type * 100 + request.joints.data.size();});
  auto grab = fakeService<CommandClient::ArmGrab>(node_, "/arm_grab",
      [](const auto & request) {return static_cast<int>(request.obb_size[2] * 100);});
  auto release = fakeService<CommandClient::ArmRelease>(node_, "/arm_release",
      [](const auto & request) {return -static_cast<int>(request.release_joints.data.size());});
  arm_sim::TopicRecorder<std_msgs::msg::Float64MultiArray> goals(node_, "/move_to_goal",
    rclcpp::QoS(10));
  spin();

  CommandClient::ArmMoveJoints::Request move;
  move.cmd_type = 1;
  move.joints.data = {0.0, 1.0, 2.0, 3.0, 4.0};
  const auto moved = client.moveJoints(move, 2s);
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->code, 105);
  EXPECT_EQ(moved->message, "/arm_move_joints");
  CommandClient::ArmGrab::Request grab_request;
  grab_request.obb_size = {0.1, 0.2, 0.07};
  EXPECT_EQ(client.grab(grab_request, 2s).value_or(CommandClient::ArmGrab::Response()).code, 7);
  CommandClient::ArmRelease::Request release_request;
  release_request.release_joints.data.resize(6);
  EXPECT_EQ(client.release(release_request, 2s).value_or(
      CommandClient::ArmRelease::Response()).code, -6);

  client.moveToGoal({-M_PI, M_PI_2, 0.0});
  ASSERT_TRUE(goals.waitForCount(1, 2s));
  EXPECT_EQ(goals.messages()[0]->data, std::vector<double>({-M_PI, M_PI_2, 0.0}));

  // No server under that name: no answer, after the time-out.
  CommandClient lost(peer_node_, {"/elsewhere", "/arm_grab", "/arm_release", "/move_to_goal"});
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(lost.moveJoints(move, 100ms));
  EXPECT_GE(std::chrono::steady_clock::now() - started, 100ms);
}

TEST_F(PeersTest, RecordersHearEveryNodeOutputAndKeepTheLastClouds)
{
  // The description is published before anyone listens, as the node does at start-up.
  auto description = node_->create_publisher<std_msgs::msg::String>("/robot_description",
      rclcpp::QoS(1).transient_local());
  std_msgs::msg::String text;
  text.data = "<robot name=\"arm5\"/>";
  description->publish(text);
  auto clouds = node_->create_publisher<sensor_msgs::msg::PointCloud2>("/obstacle_pointcloud",
      rclcpp::QoS(10));
  auto tf = node_->create_publisher<tf2_msgs::msg::TFMessage>("/tf", rclcpp::QoS(100));
  auto markers = node_->create_publisher<visualization_msgs::msg::Marker>("visualization_marker",
      rclcpp::QoS(10));
  auto collision = node_->create_publisher<std_msgs::msg::Bool>("/robot/collision_enable_topic",
      rclcpp::QoS(1));
  arm_sim::NodeOutputRecorders recorders(peer_node_, 2);
  spin();
  ASSERT_TRUE(recorders.robot_description.waitForCount(1, 2s));
  EXPECT_EQ(recorders.robot_description.messages()[0]->data, text.data);

  for (uint32_t i = 1; i <= 3; ++i) {
    sensor_msgs::msg::PointCloud2 cloud;
    cloud.width = i;
    clouds->publish(cloud);
    ASSERT_TRUE(recorders.obstacle_cloud.waitForCount(i, 2s));  // depth 1 on the collision topic
    collision->publish(std_msgs::msg::Bool());
    ASSERT_TRUE(recorders.collision_enable.waitForCount(i, 2s));
  }
  tf->publish(tf2_msgs::msg::TFMessage());
  markers->publish(visualization_msgs::msg::Marker());
  ASSERT_TRUE(recorders.tf.waitForCount(1, 2s));
  ASSERT_TRUE(recorders.markers.waitForCount(1, 2s));
  const auto kept = recorders.obstacle_cloud.messages();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0]->width, 2u);
  EXPECT_EQ(kept[1]->width, 3u);
}

TEST_F(PeersTest, SceneCameraPublishesTheSceneInEachStreamWithStampAndFrame)
{
  const arm_sim::PinholeIntrinsics intrinsics{100.0, 40.0, 100.0, 30.0, 80, 60};
  // Behind the base, optical axis along the base's x, image x to the right (-y), y down (-z).
  Eigen::Isometry3d looking_forward = Eigen::Isometry3d::Identity();
  looking_forward.linear() << 0, 0, 1, -1, 0, 0, 0, -1, 0;
  looking_forward.translation() = Eigen::Vector3d(-0.5, 0.0, 0.3);
  arm_sim::SceneCameraConfig config;
  config.base_frame_id = "base_link";
  config.surface_spacing = 0.05;
  for (const std::string name : {"camera1", "camera2"}) {
    config.cameras.push_back({"/" + name + "/cloud", "/" + name + "/depth", name + "_optical",
        {intrinsics, looking_forward}});
  }
  const arm_sim::Scene scene = arm_sim::tablePillarBoxScene();
  arm_sim::SceneCamera camera(peer_node_, scene, config);
  arm_sim::TopicRecorder<sensor_msgs::msg::PointCloud2> simulation(node_, "/pointcloud/output",
    rclcpp::QoS(3));
  arm_sim::TopicRecorder<sensor_msgs::msg::PointCloud2> cloud2(node_, "/camera2/cloud",
    rclcpp::QoS(3));
  arm_sim::TopicRecorder<sensor_msgs::msg::Image> depth1(node_, "/camera1/depth", rclcpp::QoS(10));
  spin();

  builtin_interfaces::msg::Time stamp;
  stamp.sec = 42;
  camera.publishSimulationCloud(stamp);
  camera.publishCameraClouds(stamp);
  camera.publishDepthImages(stamp);
  ASSERT_TRUE(simulation.waitForCount(1, 2s));
  ASSERT_TRUE(cloud2.waitForCount(1, 2s));
  ASSERT_TRUE(depth1.waitForCount(1, 2s));

  const auto & sim = *simulation.messages()[0];
  EXPECT_EQ(sim.header.frame_id, "base_link");
  EXPECT_EQ(sim.header.stamp.sec, 42);
  pcl::PointCloud<pcl::PointXYZ> points;
  pcl::fromROSMsg(sim, points);
  EXPECT_EQ(points.size(), arm_sim::sampleSurfaces(scene, 0.05).size());

  const auto & per_camera = *cloud2.messages()[0];
  EXPECT_EQ(per_camera.header.frame_id, "camera2_optical");
  EXPECT_EQ(per_camera.header.stamp.sec, 42);
  pcl::fromROSMsg(per_camera, points);
  EXPECT_FALSE(points.empty());
  for (const auto & point : points) {
    ASSERT_TRUE(std::isfinite(point.x) && std::isfinite(point.y) && point.z > 0.0f);
  }

  const auto & image = *depth1.messages()[0];
  EXPECT_EQ(image.header.frame_id, "camera1_optical");
  EXPECT_EQ(image.header.stamp.sec, 42);
  EXPECT_EQ(image.encoding, "16UC1");
  EXPECT_EQ(image.width * image.height * 2u, image.data.size());
}

}  // namespace
