// Each arm's working day against the simulated peers: the camera fills the obstacle map, a joint goal and
// "/move_to_goal" go round the pillar, a pose goal is reached, a box is grabbed off the table and released.
#include <gtest/gtest.h>
#include <pcl/io/pcd_io.h>

#include <atomic>
#include <cmath>
#include <csignal>

#include "arm_sim/command_client.hpp"
#include "grab/pose_conversion.h"
#include "node_rig.h"
#include "robot_model/shapes/shapes.h"

namespace {

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

std::vector<double> lastSample(NodeRig& rig, size_t goal) {
  return rig.controller().acceptedGoals().at(goal).points.back().positions;
}

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected, double tolerance = 1e-6) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t j = 0; j < actual.size(); ++j) EXPECT_NEAR(actual[j], expected[j], tolerance) << "joint " << j + 1;
}

// The last trajectory played starts at `start`, ends at `goal`, keeps every sample within the joint limits and every
// segment free of collision.
void expectSafeTrajectory(NodeRig& rig, const std::vector<double>& start, const std::vector<double>& goal) {
  const auto points = rig.controller().acceptedGoals().back().points;
  ASSERT_GE(points.size(), 2u);
  expectNear(points.front().positions, start, 1e-9);
  expectNear(points.back().positions, goal);
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = 0; j < start.size(); ++j) {
      EXPECT_GE(points[i].positions[j], rig.joints().limits[j].lower);
      EXPECT_LE(points[i].positions[j], rig.joints().limits[j].upper);
    }
    EXPECT_TRUE(i == 0 || straightMotionFree(rig.node(), points[i - 1].positions, points[i].positions)) << i;
  }
}

// The middle of the solid's top face, where the camera's cloud has a point.
Eigen::Vector3d topOf(const arm_sim::Cuboid& solid) {
  const Eigen::Vector3d middle = (solid.min + solid.max) / 2;
  return Eigen::Vector3f(middle.x(), middle.y(), solid.max.z()).cast<double>();
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

    // The camera fills the map.
    ASSERT_TRUE(rig.showScene());
    EXPECT_TRUE(Access::occupied(node, topOf(kPillar)));
    EXPECT_TRUE(Access::occupied(node, topOf(day.box)));
    EXPECT_TRUE(Access::scene(node).worldHoldsOctomap(Access::octree(node)));

    // A joint goal across the pillar and "/move_to_goal" back go round it, from where the arm is.
    const Crossing crossing = findCrossing(rig);
    ASSERT_FALSE(crossing.start.empty());
    ASSERT_EQ(Access::moveJoints(node, jointRequest(crossing.start)).code, 0);
    EXPECT_EQ(Access::moveJoints(node, jointRequest(crossing.goal)).code, 0);
    EXPECT_TRUE(Access::scene(node).worldHoldsOctomap(Access::octree(node)));
    EXPECT_FALSE(straightMotionFree(node, crossing.start, crossing.goal));
    expectSafeTrajectory(rig, crossing.start, crossing.goal);
    EXPECT_EQ(Access::moveToGoal(node, crossing.start), 0);
    expectSafeTrajectory(rig, crossing.goal, crossing.start);
    // In simulation too an aborted trajectory fails.
    rig.controller().setScript({arm_sim::GoalOutcome::Abort});
    EXPECT_EQ(Access::moveToGoal(node, crossing.goal), -2);
    rig.controller().setScript({});

    // A pose goal made from a known configuration reaches it, up to whole turns.
    const auto& kinematics = Access::scene(node).getPlanningGroup()->kinematics_interface_ptr_;
    if (!day.known.empty()) {
      const Pose7 pose = isometryToPose(kinematics->forwardKinematics(day.known) * Access::toolMatrix(node));
      ASSERT_EQ(Access::moveJoints(node, poseRequest(pose)).code, 0);
      const std::vector<double> reached = lastSample(rig, rig.controller().acceptedGoals().size() - 1);
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
    ASSERT_EQ(rig.controller().acceptedGoals().size(), goals_before + 2);
    expectNear(lastSample(rig, goals_before), Access::transitionPoint(node));
    expectNear(lastSample(rig, goals_before + 1), Access::grabGoal(node));
    EXPECT_TRUE(box_in_first_leg);
    EXPECT_FALSE(Access::occupied(node, topOf(day.box)));
    // The transition point backs the tool off the box.
    const Eigen::MatrixXd at_grab = kinematics->forwardKinematics(Access::grabGoal(node));
    const double backed_off =
        (kinematics->forwardKinematics(Access::transitionPoint(node)) - at_grab).topRightCorner<3, 1>().norm();
    EXPECT_GT(backed_off, 0.01);
    EXPECT_LT(backed_off, 0.3);
    ASSERT_TRUE(rig.recorders().markers.waitForCount(1, std::chrono::seconds(2)));
    EXPECT_NEAR(rig.recorders().markers.messages().front()->pose.position.z, centre.z(), 1e-9);
    pcl::PointCloud<pcl::PointXYZ> cut;
    ASSERT_EQ(pcl::io::loadPCDFile("remove_obb_obstacle.pcd", cut), 0);
    EXPECT_EQ(cut.size(), Access::heldCloud(node).size());
    // While the box is held the camera changes nothing.
    EXPECT_TRUE(Access::holding(node));
    EXPECT_TRUE(Access::mapFrozen(node));
    EXPECT_FALSE(rig.showScene(std::chrono::milliseconds(300)));
    EXPECT_FALSE(Access::occupied(node, topOf(day.box)));

    // Released at home: back to the transition point, then on with the box attached.
    testing::internal::CaptureStdout();
    ASSERT_EQ(Access::release(node, releaseTo(day.home)).code, 0) << testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStdout();
    rig.onJointState(nullptr);
    ASSERT_EQ(rig.controller().acceptedGoals().size(), goals_before + 4);
    expectNear(lastSample(rig, goals_before + 2), Access::transitionPoint(node));
    expectNear(lastSample(rig, goals_before + 3), day.home);
    EXPECT_FALSE(attached_in_first_leg);
    EXPECT_TRUE(attached_in_last_leg);
    EXPECT_EQ(Access::attachedCopy(node), nullptr);
    EXPECT_FALSE(Access::holding(node));
    EXPECT_FALSE(Access::mapFrozen(node));
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
  for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
       rig.controller().acceptedGoals().empty() && std::chrono::steady_clock::now() < end;) {
    client.moveToGoal(goal);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(rig.controller().acceptedGoals().empty());
  std::raise(SIGINT);
  EXPECT_TRUE(rig.runEnded(std::chrono::seconds(2)));
}

}  // namespace
