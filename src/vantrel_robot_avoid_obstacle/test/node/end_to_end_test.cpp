// The running node against its simulated peers, each arm's working day in simulation: joint states and the simulation
// cloud reach the node, the camera fills the obstacle map, a joint goal and "/move_to_goal" go round the pillar, a pose
// goal is reached, a box is grabbed off the table and released.
#include <gtest/gtest.h>
#include <pcl/io/pcd_io.h>
#include <pcl_conversions/pcl_conversions.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <limits>
#include <string>
#include <vector>

#include "arm_sim/command_client.hpp"
#include "arm_sim/path_clearance.hpp"
#include "grab/pose_conversion.h"
#include "node_rig.h"
#include "ros_test_support.hpp"
#include "robot_model/shapes/shapes.h"
#include "support/node_process.h"

namespace {

using namespace std::chrono_literals;
using sensor_msgs::msg::JointState;

struct Day {
  const char* what;
  Arm arm;
  std::vector<double> home;
  arm_sim::Cuboid box;
  std::vector<arm_sim::Cuboid> under_box;
  Eigen::Quaterniond tool;  // at the grab; the tool approaches along its z axis
  // A configuration the pose goal is made from; none for the five-axis arm, whose solver gives no single answer.
  std::vector<double> known;
};

const arm_sim::Cuboid kTable{{0.25, -0.60, -0.09}, {0.95, 0.60, -0.05}};
const arm_sim::Cuboid kPillar{{0.45, -0.06, -0.05}, {0.57, 0.06, 0.90}};

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected, double tolerance = 1e-6) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t j = 0; j < actual.size(); ++j) EXPECT_NEAR(actual[j], expected[j], tolerance) << "joint " << j + 1;
}

// The last trajectory played starts at `start`, ends at `goal` and keeps every sample within the joint limits.
void expectTrajectoryBetween(NodeRig& rig, const std::vector<double>& start, const std::vector<double>& goal) {
  const auto points = rig.controller().acceptedGoals().back().points;
  ASSERT_GE(points.size(), 2u);
  expectNear(points.front().positions, start, 1e-9);
  expectNear(points.back().positions, goal);
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = 0; j < start.size(); ++j) {
      EXPECT_GE(points[i].positions[j], rig.joints().limits[j].lower);
      EXPECT_LE(points[i].positions[j], rig.joints().limits[j].upper);
    }
  }
}

// The controller's accepted goals from the `judged`-th up to the `end`-th keep the bare arm clear of the obstacle
// cloud the node planned them in, all along their segments; `judged` moves on.
void expectLegsClear(NodeRig& rig, size_t& judged, size_t end, const Access::Cloud& cloud) {
  arm_sim::PathClearance clearance = clearanceFrom(rig, cloud);
  const auto legs = rig.controller().acceptedGoals();
  ASSERT_LE(end, legs.size());
  for (; judged < end; ++judged) {
    const std::vector<double> contact = clearance.firstContact(arm_sim::pathOf(legs[judged]));
    EXPECT_TRUE(contact.empty()) << "leg " << judged + 1 << " meets an obstacle at " << testing::PrintToString(contact);
  }
}

// The middle of the solid's top face, where the camera's cloud has a point.
Eigen::Vector3d topOf(const arm_sim::Cuboid& solid) {
  const Eigen::Vector3d middle = (solid.min + solid.max) / 2;
  return Eigen::Vector3f(middle.x(), middle.y(), solid.max.z()).cast<double>();
}

// Joint states by name (reversed, a joint outside the group first) or by position (extra values ignored) set the
// current joints and publish the description and one "/tf" transform per group link; incomplete or non-finite ones
// are dropped with a message. The simulation cloud is taken as it is but for points that are not finite, held by the
// collision world from the first cloud on and refilled live while state checks read it; a message that cannot be read
// is dropped. Leaves the map empty and the joints where they were.
void expectSimulationSensorRoad(NodeRig& rig) {
  RosTwoWrapper& node = rig.node();
  arm_sim::NodeOutputRecorders& recorders = rig.recorders();
  const std::vector<double> before = Access::currentJoints(node);
  const size_t n = before.size();
  const std::vector<double> zeros(n, 0.0);
  std::vector<std::string> joints;
  std::vector<std::string> links;
  Eigen::Vector3d link_position;  // at zero joints
  Access::withObstacleMap(node, [&](const auto& tree, const auto&, auto& scene) {
    joints = scene.getPlanningGroup()->getActiveJointModelNames();
    links = scene.getPlanningGroup()->getLinkModelNames();
    const auto translation = scene.getLinkTransforms(zeros.data())[2].transform.translation;
    link_position = {translation.x, translation.y, translation.z};
    EXPECT_FALSE(scene.worldHoldsOctomap(tree));
  });
  std::vector<double> expected;
  JointState named = jointState({"not_in_group"}, {9.0});
  for (size_t i = 0; i < n; ++i) expected.push_back(0.25 * (i + 1) - 1.0);
  named.name.insert(named.name.end(), joints.rbegin(), joints.rend());
  named.position.insert(named.position.end(), expected.rbegin(), expected.rend());
  Access::jointState(node, named);
  EXPECT_EQ(Access::currentJoints(node), expected);
  ASSERT_TRUE(recorders.tf.waitForCount(1, kHangTimeout) && recorders.robot_description.waitForCount(1, kHangTimeout));
  EXPECT_EQ(recorders.robot_description.messages().back()->data, Access::robotDescription(node));
  std::vector<std::string> children;
  for (const auto& transform : recorders.tf.messages().back()->transforms) {
    EXPECT_EQ(transform.header.frame_id, "base_link");
    children.push_back(transform.child_frame_id);
  }
  EXPECT_EQ(children, links);
  std::vector<double> longer = {0.5, -0.5, 1.5, -1.5, 0.0, 3.0, 2.0, 1.0};
  Access::jointState(node, jointState({}, longer));
  longer.resize(n);
  EXPECT_EQ(Access::currentJoints(node), longer);
  std::vector<double> with_nan = expected;
  with_nan[n - 1] = std::numeric_limits<double>::quiet_NaN();
  std::vector<std::string> renamed = joints;
  renamed[1] = "renamed";
  testing::internal::CaptureStdout();
  for (const JointState& state : {jointState({}, std::vector<double>(n - 1, 0.1)), jointState(renamed, expected),
                                  jointState(joints, std::vector<double>(n - 1, 0.1)), jointState(joints, with_nan),
                                  jointState({}, with_nan)}) {
    Access::jointState(node, state);
  }
  EXPECT_EQ(occurrences(testing::internal::GetCapturedStdout(), "joint state dropped: "), 5);
  EXPECT_EQ(Access::currentJoints(node), longer);

  // A cube around a link of the arm at its zero joints, some points not finite; then one that claims 2^32 points.
  const Eigen::Vector3d half(0.03, 0.03, 0.03);
  pcl::PointCloud<pcl::PointXYZ> cube =
      arm_sim::sampleSurfaces(arm_sim::Scene{{{link_position - half, link_position + half}}}, 0.005);
  const size_t finite = cube.size();
  const float inf = std::numeric_limits<float>::infinity();
  cube.emplace_back(std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f);
  cube.emplace_back(inf, -inf, inf);
  sensor_msgs::msg::PointCloud2 message;
  sensor_msgs::msg::PointCloud2 empty;
  pcl::toROSMsg(cube, message);
  pcl::toROSMsg(pcl::PointCloud<pcl::PointXYZ>(), empty);
  sensor_msgs::msg::PointCloud2 unreadable = empty;
  unreadable.width = unreadable.height = 65536;
  auto publisher = rig.peer()->create_publisher<sensor_msgs::msg::PointCloud2>("/pointcloud/output", 10);
  const auto publishAndWait = [&](const sensor_msgs::msg::PointCloud2& cloud) {
    const size_t count = recorders.obstacle_cloud.count();
    publisher->publish(cloud);
    // State checks read the tree on this thread while the node refills it.
    for (const auto deadline = std::chrono::steady_clock::now() + kHangTimeout;
         recorders.obstacle_cloud.count() == count && std::chrono::steady_clock::now() < deadline;) {
      Access::withObstacleMap(node, [&](const auto&, const auto&, auto& scene) {
        scene.isStateValid(zeros.data());
      });
    }
    return recorders.obstacle_cloud.count() == count + 1;
  };
  testing::internal::CaptureStdout();
  publisher->publish(unreadable);
  ASSERT_TRUE(publishAndWait(message));
  EXPECT_EQ(occurrences(testing::internal::GetCapturedStdout(), "point cloud dropped: "), 1);
  EXPECT_EQ(recorders.obstacle_cloud.count(), 1u);
  EXPECT_EQ(recorders.obstacle_cloud.messages().back()->width, finite);
  Access::withObstacleMap(node, [&](const auto& tree, const auto& obstacles, auto& scene) {
    EXPECT_EQ(obstacles.size(), finite);
    EXPECT_TRUE(scene.worldHoldsOctomap(tree));
    EXPECT_FALSE(scene.isStateValid(zeros.data()));
  });
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(publishAndWait(message));
  // The last, empty cloud frees the arm again.
  ASSERT_TRUE(publishAndWait(empty));
  Access::withObstacleMap(node, [&](const auto& tree, const auto& obstacles, auto& scene) {
    EXPECT_TRUE(obstacles.empty() && tree->size() == 0);
    EXPECT_TRUE(scene.isStateValid(zeros.data()));
  });
  Access::setCurrentJoints(node, before);
}

TEST(EndToEnd, CamerasFillTheMapCommandsGoRoundThePillarAndABoxIsGrabbedAndReleased) {
  const Eigen::Quaterniond down(0.0, 1.0, 0.0, 0.0);
  const Eigen::Quaterniond oblique(Eigen::AngleAxisd(3 * M_PI / 4, Eigen::Vector3d::UnitY()));
  const Eigen::Quaterniond sideways(Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitY()));
  const std::vector<double> arm6_home = {-0.8, -0.5, -0.4, 0.0, -0.67, 0.0};
  // The transition point is found tilting the oblique and the vertical approaches, backing inwards from the
  // horizontal one.
  const std::vector<Day> days = {
      {"arm6, obliquely off the table", Arm::Six, arm6_home, {{0.50, 0.25, -0.05}, {0.62, 0.37, 0.07}}, {}, oblique,
       {0.6, 0.2, 0.8, 0.0, M_PI / 2, 4.0}},
      {"arm6, sideways off a shelf", Arm::Six, arm6_home, {{0.50, -0.47, 0.20}, {0.60, -0.37, 0.35}},
       {{{0.45, -0.60, 0.16}, {0.80, -0.25, 0.20}}}, sideways, {}},
      {"arm5, from above off the table", Arm::Five, {-0.8, -0.3, 0.6, 0.5, 0.0},
       {{0.30, 0.20, -0.05}, {0.40, 0.30, 0.05}}, {}, down, {}}};
  for (const Day& day : days) {
    SCOPED_TRACE(day.what);
    arm_sim::Scene scene{{kTable, kPillar, day.box}};
    scene.solids.insert(scene.solids.end(), day.under_box.begin(), day.under_box.end());
    NodeRig rig(nodeConfig(day.arm, false), day.home, scene);
    RosTwoWrapper& node = rig.node();
    expectSimulationSensorRoad(rig);

    // The camera fills the map.
    ASSERT_TRUE(rig.showScene());
    EXPECT_TRUE(Access::occupied(node, topOf(kPillar)));
    EXPECT_TRUE(Access::occupied(node, topOf(day.box)));
    Access::Cloud seen;
    Access::withObstacleMap(node, [&seen](const auto&, const auto& cloud, const auto&) { seen = cloud; });
    size_t judged = rig.controller().acceptedGoals().size();

    // A joint goal across the pillar and "/move_to_goal" back go round it, from where the arm is.
    const Crossing crossing = findCrossing(rig);
    ASSERT_FALSE(crossing.start.empty());
    // The judge of the legs below sees the pillar: where the node's padded check refused the arm, the bare arm comes
    // within the padding of it.
    EXPECT_LT(clearanceFrom(rig, seen).smallestAtConfigurations({crossing.inside}),
              Access::scene(node).getRobotPadding());
    ASSERT_EQ(Access::moveJoints(node, jointRequest(crossing.start)).code, 0);
    EXPECT_EQ(Access::moveJoints(node, jointRequest(crossing.goal)).code, 0);
    EXPECT_TRUE(Access::scene(node).worldHoldsOctomap(Access::octree(node)));
    expectTrajectoryBetween(rig, crossing.start, crossing.goal);
    EXPECT_EQ(Access::moveToGoal(node, crossing.start), 0);
    expectTrajectoryBetween(rig, crossing.goal, crossing.start);
    // In simulation too an aborted trajectory fails.
    rig.controller().setScript({arm_sim::GoalOutcome::Abort});
    EXPECT_EQ(Access::moveToGoal(node, crossing.goal), -2);
    rig.controller().setScript({});

    // A pose goal made from a known configuration reaches it, up to whole turns.
    const auto& kinematics = Access::scene(node).getPlanningGroup()->kinematics_interface_ptr_;
    if (!day.known.empty()) {
      const Pose7 pose = isometryToPose(kinematics->forwardKinematics(day.known) * Access::toolMatrix(node));
      ASSERT_EQ(Access::moveJoints(node, poseRequest(pose)).code, 0);
      const std::vector<double> reached = rig.controller().acceptedGoals().back().points.back().positions;
      for (size_t j = 0; j < reached.size(); ++j) {
        EXPECT_NEAR(std::remainder(reached[j] - day.known[j], 2 * M_PI), 0.0, 1e-6) << "joint " << j + 1;
      }
    }

    // The box held 11 cm ahead of the tool and turned about its axis.
    ASSERT_EQ(Access::moveJoints(node, jointRequest(day.home)).code, 0);
    const Eigen::Vector3d centre = (day.box.min + day.box.max) / 2;
    const Eigen::Vector3d size = day.box.max - day.box.min;
    Access::Grab::Request grab;
    const Eigen::Vector3d tool = centre - 0.11 * (day.tool * Eigen::Vector3d::UnitZ());
    grab.target_pose = {tool.x(), tool.y(), tool.z(), day.tool.x(), day.tool.y(), day.tool.z(), day.tool.w()};
    grab.obb_pose = {0.0, 0.0, 0.11, 0.0, 0.0, 0.3826834, 0.9238795};
    grab.obb_size = {size.x(), size.y(), size.z()};
    const size_t goals_before = rig.controller().acceptedGoals().size();
    expectLegsClear(rig, judged, goals_before, seen);
    std::atomic<bool> box_in_first_leg{false};
    std::atomic<bool> attached_in_first_leg{false};
    std::atomic<bool> attached_in_last_leg{false};
    rig.onJointState([&](size_t goals) {
      if (goals == goals_before + 1 && Access::occupied(node, topOf(day.box))) box_in_first_leg = true;
      const bool attached = Access::attachedCopy(node) != nullptr;
      if (goals == goals_before + 3 && attached) attached_in_first_leg = true;
      if (goals == goals_before + 4 && attached) attached_in_last_leg = true;
    });
    testing::internal::CaptureStdout();
    ASSERT_EQ(Access::grab(node, grab).code, 0) << testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStdout();
    // Transition point first, then the grasp; the box is an obstacle only until the arm is above it.
    auto legs = rig.controller().acceptedGoals();
    ASSERT_EQ(legs.size(), goals_before + 2);
    expectNear(legs[goals_before].points.back().positions, Access::transitionPoint(node));
    expectNear(legs[goals_before + 1].points.back().positions, Access::grabGoal(node));
    EXPECT_TRUE(box_in_first_leg);
    // The grasp is planned in the map with the box cut out, and so are the release's legs.
    const Access::Cloud held = Access::heldCloud(node);
    expectLegsClear(rig, judged, goals_before + 1, seen);
    expectLegsClear(rig, judged, goals_before + 2, held);
    ASSERT_TRUE(rig.recorders().markers.waitForCount(1, kHangTimeout));
    EXPECT_NEAR(rig.recorders().markers.messages().front()->pose.position.z, centre.z(), 1e-9);
    pcl::PointCloud<pcl::PointXYZ> cut;
    ASSERT_EQ(pcl::io::loadPCDFile("remove_obb_obstacle.pcd", cut), 0);
    EXPECT_EQ(cut.size(), Access::heldCloud(node).size());
    // While the box is held the camera changes nothing: it stays cut out.
    EXPECT_FALSE(rig.showScene(std::chrono::milliseconds(300)));
    EXPECT_FALSE(Access::occupied(node, topOf(day.box)));

    // Released at home: back to the transition point, then on with the box attached.
    testing::internal::CaptureStdout();
    ASSERT_EQ(Access::release(node, releaseTo(day.home)).code, 0) << testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStdout();
    rig.onJointState(nullptr);
    legs = rig.controller().acceptedGoals();
    ASSERT_EQ(legs.size(), goals_before + 4);
    expectNear(legs[goals_before + 2].points.back().positions, Access::transitionPoint(node));
    expectNear(legs[goals_before + 3].points.back().positions, day.home);
    EXPECT_FALSE(attached_in_first_leg);
    EXPECT_TRUE(attached_in_last_leg);
    expectLegsClear(rig, judged, goals_before + 4, held);
    octomap::OcTree last(0.01);
    ASSERT_TRUE(last.readBinary("obstacle_last.bt"));
    EXPECT_EQ(last.calcNumNodes(), Access::octreeNodes(node));
    // The camera updates the map again.
    EXPECT_TRUE(rig.showScene());
    EXPECT_TRUE(Access::occupied(node, topOf(day.box)));

    // Attached at the tool with its edges padded; an obstacle where only the box is makes the state invalid.
    testing::internal::CaptureStdout();
    ASSERT_TRUE(Access::attach(node, day.home));
    const auto body = Access::attachedCopy(node);
    ASSERT_NE(body, nullptr);
    const Eigen::Matrix4d expected =
        kinematics->forwardKinematics(day.home) * Access::toolMatrix(node) * Access::tcpToObb(node);
    EXPECT_TRUE(body->global_shape_poses_[0].matrix().isApprox(expected, 1e-9));
    const auto& shape = static_cast<const shapes::Box&>(*body->shapes_[0]);
    EXPECT_NEAR(shape.size[0], size.x() * Access::grabObjectScale(node) + 2 * Access::grabObjectPadding(node), 1e-12);
    auto tree = std::make_shared<octomap::OcTree>(0.01);
    tree->updateNode(octomap::point3d(expected(0, 3), expected(1, 3), expected(2, 3)), true, false);
    tree->updateInnerOccupancy();
    Access::scene(node).updateWorldOctomap(tree);
    EXPECT_FALSE(Access::scene(node).isStateValid(day.home.data()));
    Access::detach(node);
    EXPECT_TRUE(Access::scene(node).isStateValid(day.home.data()));
    testing::internal::GetCapturedStdout();
  }
}

TEST(EndToEnd, InterruptDuringTheWaitForAResultEndsTheRunCleanly) {
  NodeRig rig(nodeConfig(Arm::Five, false), {}, arm_sim::tablePillarBoxScene(), NodeRig::Spin::Run);
  rig.controller().setScript({arm_sim::GoalOutcome::NeverFinish});
  arm_sim::CommandClient client(rig.peer());
  std::vector<double> goal = rig.start();
  goal[0] += 0.3;
  // Sent again until the controller has it: the run loop may not serve the topic yet.
  for (const auto end = std::chrono::steady_clock::now() + kHangTimeout;
       rig.controller().acceptedGoals().empty() && std::chrono::steady_clock::now() < end;) {
    client.moveToGoal(goal);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(rig.controller().acceptedGoals().empty());
  std::raise(SIGINT);
  EXPECT_TRUE(rig.runEnded(kHangTimeout));
}

}  // namespace
