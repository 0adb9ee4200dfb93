// The other process of the cross-process tests and benchmarks. It echoes the probe topics back
// (large clouds also to a header-only acknowledgement), serves a service and an action whose
// outcome the goal chooses, and keeps a transient-local robot description and a best-effort joint
// state stream up. It ends when its stdin closes.
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "control_msgs/action/follow_joint_trajectory.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "sensor_msgs/msg/joint_state.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "std_msgs/msg/header.hpp"
#include "std_msgs/msg/string.hpp"
#include "vantrel_interfaces/srv/arm_grab.hpp"

namespace
{

using FollowJointTrajectory = control_msgs::action::FollowJointTrajectory;
using GoalHandle = rclcpp_action::ServerGoalHandle<FollowJointTrajectory>;

template<typename MessageT>
void echo(const rclcpp::Node::SharedPtr & node, const std::string & topic,
  std::vector<std::shared_ptr<void>> & keep)
{
  auto publisher = node->create_publisher<MessageT>(topic + "/echo", 10);
  keep.push_back(publisher);
  keep.push_back(node->create_subscription<MessageT>(topic, 10,
    [publisher](std::shared_ptr<const MessageT> message) {publisher->publish(*message);}));
}

std::shared_ptr<FollowJointTrajectory::Result> result(int32_t code, const std::string & text)
{
  return std::make_shared<FollowJointTrajectory::Result>(
    FollowJointTrajectory::Result().set__error_code(code).set__error_string(text));
}

// The first joint name of a goal says what the server does with it.
std::string behaviour(const FollowJointTrajectory::Goal & goal)
{
  return goal.trajectory.joint_names.empty() ? "" : goal.trajectory.joint_names[0];
}

}  // namespace

int main(int argc, char ** argv)
{
  rclcpp::InitOptions options;
  options.transport = rclcpp::TransportKind::Dds;
  rclcpp::init(argc, argv, options);
  auto node = std::make_shared<rclcpp::Node>("dds_test_peer");
  std::vector<std::shared_ptr<void>> keep;

  echo<sensor_msgs::msg::JointState>(node, "/probe/joint_state", keep);
  echo<sensor_msgs::msg::PointCloud2>(node, "/probe/point_cloud", keep);

  // Acknowledges each cloud with its header only, for one-way measurements.
  auto ack = node->create_publisher<std_msgs::msg::Header>("/probe/point_cloud_sink/ack", 100);
  auto sink = node->create_subscription<sensor_msgs::msg::PointCloud2>("/probe/point_cloud_sink",
      10, [ack](std::shared_ptr<const sensor_msgs::msg::PointCloud2> cloud) {
        ack->publish(cloud->header);
      });

  using ArmGrab = vantrel_interfaces::srv::ArmGrab;
  auto service = node->create_service<ArmGrab>("/probe/arm_grab",
      [](std::shared_ptr<ArmGrab::Request> request, std::shared_ptr<ArmGrab::Response> response) {
        response->code = request->cmd_type * 2;
        response->message = "grab " + std::to_string(request->obb_size[2]);
      });

  std::shared_ptr<GoalHandle> waiting;  // one goal at a time, held until it is cancelled
  auto server = rclcpp_action::create_server<FollowJointTrajectory>(node,
      "/probe/follow_joint_trajectory",
      [](const rclcpp_action::GoalUUID &, std::shared_ptr<const FollowJointTrajectory::Goal> goal) {
        return behaviour(*goal) == "reject" ? rclcpp_action::GoalResponse::REJECT :
        rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
      },
      [](std::shared_ptr<GoalHandle>) {return rclcpp_action::CancelResponse::ACCEPT;},
      [&waiting](std::shared_ptr<GoalHandle> handle) {
        const std::string what = behaviour(*handle->get_goal());
        if (what == "abort") {
          handle->abort(result(FollowJointTrajectory::Result::PATH_TOLERANCE_VIOLATED, "aborted"));
        } else if (what == "wait") {
          waiting = handle;
        } else {
          handle->succeed(result(FollowJointTrajectory::Result::SUCCESSFUL, "done"));
        }
      });
  auto cancel_poll = node->create_wall_timer(std::chrono::milliseconds(5), [&waiting] {
        if (waiting && waiting->is_canceling()) {
          waiting->canceled(result(FollowJointTrajectory::Result::SUCCESSFUL, "canceled"));
          waiting.reset();
        }
      });

  auto description = node->create_publisher<std_msgs::msg::String>("/robot_description",
      rclcpp::QoS(1).transient_local());
  description->publish(std_msgs::msg::String().set__data("<robot name=\"peer\"/>"));

  auto joint_states = node->create_publisher<sensor_msgs::msg::JointState>("/joint_states",
      rclcpp::QoS(5).best_effort());
  auto joint_timer = node->create_wall_timer(std::chrono::milliseconds(10),
      [&joint_states] {joint_states->publish(sensor_msgs::msg::JointState());});

  std::thread watch_stdin([] {
      std::string line;
      while (std::getline(std::cin, line)) {
      }
      rclcpp::shutdown();
    });
  std::cout << "ready" << std::endl;
  rclcpp::spin(node);
  watch_stdin.join();
  return 0;
}
