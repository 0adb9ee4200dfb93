// Joint states on both arms and in both modes: the group's positions by name or by position, the robot
// description and one "/tf" transform per group link; incomplete or non-finite states are dropped.
#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/sensor_peers.h"
#include "support/node_process.h"

namespace {

using namespace std::chrono_literals;
using sensor_msgs::msg::JointState;

JointState jointState(std::vector<std::string> names, std::vector<double> positions) {
  JointState state;
  state.name = std::move(names);
  state.position = std::move(positions);
  return state;
}

TEST(SensorJointStates, GroupPositionsByNameOrPositionOthersDropped) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const bool arm6 : {false, true}) {
    for (const bool real_robot : {false, true}) {
      const std::string what = std::string(arm6 ? "arm6" : "arm5") + (real_robot ? " real" : " simulation");
      YAML::Node config = fullTestConfig();
      if (arm6) useArm6(config, "./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/");
      config["robot_avoid_obstacle"]["real_robot_flag"] = real_robot;
      config["debug_mode"]["print_joint_state_flag"] = false;
      RunningNodeWithPeers node(config, config["robot_avoid_obstacle"]["joints_state_topic"].as<std::string>());
      arm_sim::NodeOutputRecorders& recorders = node.recorders();

      std::vector<std::string> links;
      std::vector<std::string> joints;
      RosTwoWrapperTestAccess::withObstacleMap(node.node(), [&](const auto&, const auto&, const auto& scene) {
        links = scene.getPlanningGroup()->getLinkModelNames();
        joints = scene.getPlanningGroup()->getActiveJointModelNames();
      });
      const size_t n = joints.size();
      std::vector<double> expected;
      for (size_t i = 0; i < n; ++i) expected.push_back(0.25 * (i + 1) - 1.0);

      // Named: reversed and with a joint outside the group first.
      JointState named = jointState({"not_in_group"}, {9.0});
      for (size_t i = n; i-- > 0;) {
        named.name.push_back(joints[i]);
        named.position.push_back(expected[i]);
      }
      RosTwoWrapperTestAccess::jointState(node.node(), named);
      EXPECT_EQ(RosTwoWrapperTestAccess::currentJoints(node.node()), expected) << what;
      ASSERT_TRUE(recorders.tf.waitForCount(1, 5s)) << what;
      ASSERT_TRUE(recorders.robot_description.waitForCount(1, 5s)) << what;
      EXPECT_EQ(recorders.robot_description.messages().back()->data,
                RosTwoWrapperTestAccess::robotDescription(node.node()));
      const auto& transforms = recorders.tf.messages().back()->transforms;
      ASSERT_EQ(transforms.size(), links.size()) << what;
      for (size_t i = 0; i < links.size(); ++i) {
        EXPECT_EQ(transforms[i].header.frame_id, "base_link") << what;
        EXPECT_EQ(transforms[i].child_frame_id, links[i]) << what;
      }

      // Unnamed: the first positions, whatever follows.
      std::vector<double> longer = {0.5, -0.5, 1.5, -1.5, 0.0, 3.0, 2.0, 1.0};
      RosTwoWrapperTestAccess::jointState(node.node(), jointState({}, longer));
      longer.resize(n);
      EXPECT_EQ(RosTwoWrapperTestAccess::currentJoints(node.node()), longer) << what;
      ASSERT_TRUE(recorders.tf.waitForCount(2, 5s)) << what;

      std::vector<double> with_nan = expected;
      with_nan[n - 1] = nan;
      std::vector<std::string> missing = joints;
      missing[1] = "renamed";
      const std::vector<JointState> dropped = {jointState({}, std::vector<double>(n - 1, 0.1)),
                                               jointState(missing, expected),
                                               jointState(joints, std::vector<double>(n - 1, 0.1)),
                                               jointState(joints, with_nan), jointState({}, with_nan)};
      testing::internal::CaptureStdout();
      for (const JointState& state : dropped) RosTwoWrapperTestAccess::jointState(node.node(), state);
      const std::string output = testing::internal::GetCapturedStdout();
      EXPECT_EQ(occurrences(output, "joint state dropped: "), 5) << what << output;
      EXPECT_EQ(RosTwoWrapperTestAccess::currentJoints(node.node()), longer) << what;
      std::this_thread::sleep_for(200ms);
      EXPECT_EQ(recorders.tf.count(), 2u) << what;
      EXPECT_EQ(recorders.robot_description.count(), 2u) << what;
    }
  }
}

}  // namespace
