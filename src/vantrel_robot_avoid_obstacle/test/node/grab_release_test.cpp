// Grab and release end to end: the node in simulation against a simulated arm controller, a box on a table
// as the obstacle cloud, on the six- and the five-axis arm.
#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>

#include <Eigen/Geometry>
#include <Eigen/LU>
#include <arm_sim/scene.hpp>
#include <gtest/gtest.h>
#include <pcl/io/pcd_io.h>

#include "grab_release_harness.h"
#include "robot_model/shapes/shapes.h"

namespace {

using Access = GrabReleaseTestAccess;
using Grab = Access::Grab;
using Release = Access::Release;

// A table top 5 cm below the base and a 12 cm box standing on it.
const arm_sim::Cuboid kTable{{0.25, -0.60, -0.09}, {0.95, 0.60, -0.05}};
const arm_sim::Cuboid kBox{{0.50, 0.25, -0.05}, {0.62, 0.37, 0.07}};
const Eigen::Vector3d kBoxCentre(0.56, 0.31, 0.01);
const std::array<double, 3> kBoxSize = {0.12, 0.12, 0.12};

Eigen::Matrix4d toolOffset(double z) {
  Eigen::Matrix4d tool = Eigen::Matrix4d::Identity();
  tool(2, 3) = z;
  return tool;
}

Access::Cloud tableWithBox() { return arm_sim::sampleSurfaces({{kTable, kBox}}, 0.01); }

// The tool pointing straight down `height` above the box's centre, the box given in the tool's frame.
Grab::Request grabFromAbove(double height) {
  Grab::Request request;
  request.target_pose = {kBoxCentre.x(), kBoxCentre.y(), kBoxCentre.z() + height, 1.0, 0.0, 0.0, 0.0};
  request.obb_pose = {0.0, 0.0, height, 0.0, 0.0, 0.0, 1.0};
  request.obb_size = kBoxSize;
  return request;
}

Release::Request releaseTo(const std::vector<double>& joints) {
  Release::Request request;
  request.cmd_type = 0;
  request.release_joints.data = joints;
  return request;
}

std::vector<double> lastSample(const trajectory_msgs::msg::JointTrajectory& goal) {
  return goal.points.back().positions;
}

void expectJointsNear(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t k = 0; k < actual.size(); ++k) EXPECT_NEAR(actual[k], expected[k], 1e-6) << "joint " << k + 1;
}

bool insideBox(const pcl::PointXYZ& point, const arm_sim::Cuboid& box) {
  return point.x >= box.min.x() && point.x <= box.max.x() && point.y >= box.min.y() && point.y <= box.max.y() &&
         point.z >= box.min.z() && point.z <= box.max.z();
}

// Points of the cloud: on the box's top and on the table far from the box.
const Eigen::Vector3d kBoxTop(0.56f, 0.31f, 0.07f);
const Eigen::Vector3d kFarTable(0.9f, -0.5f, -0.05f);

TEST(GrabRelease, BoxOnTableGrabbedFromAboveAndCarriedToReleaseJoints) {
  const std::vector<double> home = {0.0, -0.5, -0.4, 0.0, -0.67, 0.0};
  GrabWorld world("arm6", toolOffset(0.12), home);
  RosTwoWrapper& node = world.node();
  Access::setObstacleCloud(node, tableWithBox());

  std::atomic<bool> box_seen_in_first_leg{false};
  std::atomic<bool> attached_in_first_leg{false};
  std::atomic<bool> attached_in_last_leg{false};
  world.onJointState([&](size_t goals) {
    if (goals == 1 && Access::occupied(node, kBoxTop)) box_seen_in_first_leg = true;
    const bool attached = Access::attachedCopy(node) != nullptr;
    if (goals == 3 && attached) attached_in_first_leg = true;
    if (goals == 4 && attached) attached_in_last_leg = true;
  });

  testing::internal::CaptureStdout();
  const Grab::Response grabbed = Access::grab(node, grabFromAbove(0.11));
  const std::string grab_output = testing::internal::GetCapturedStdout();
  ASSERT_EQ(grabbed.code, 0) << grabbed.message << grab_output;
  EXPECT_EQ(grabbed.message, "success");

  // Transition point first, then the grasp; the box is an obstacle only until the arm is above it.
  const auto goals = world.controller().acceptedGoals();
  ASSERT_EQ(goals.size(), 2u);
  expectJointsNear(lastSample(goals[0]), Access::transitionPoint(node));
  expectJointsNear(lastSample(goals[1]), Access::grabGoal(node));
  EXPECT_TRUE(box_seen_in_first_leg);
  EXPECT_FALSE(Access::occupied(node, kBoxTop));
  EXPECT_TRUE(Access::occupied(node, kFarTable));
  EXPECT_TRUE(Access::holding(node));
  EXPECT_TRUE(Access::mapFrozen(node));
  // Solved at the requested pose: the box relative to the tool is the requested one.
  EXPECT_TRUE(Access::tcpToObb(node).isApprox(poseToIsometry({0, 0, 0.11, 0, 0, 0, 1}), 1e-9));

  ASSERT_TRUE(world.recorders().markers.waitForCount(1, std::chrono::seconds(2)));
  const auto marker = world.recorders().markers.messages().front();
  EXPECT_NEAR(marker->pose.position.x, kBoxCentre.x(), 1e-9);
  EXPECT_NEAR(marker->pose.position.z, kBoxCentre.z(), 1e-9);
  EXPECT_EQ(marker->scale.x, kBoxSize[0]);

  pcl::PointCloud<pcl::PointXYZ> snapshot;
  ASSERT_EQ(pcl::io::loadPCDFile("remove_obb_obstacle.pcd", snapshot), 0);
  EXPECT_EQ(snapshot.size(), Access::heldCloud(node).size());
  EXPECT_GT(snapshot.size(), 1000u);
  for (const pcl::PointXYZ& point : snapshot) ASSERT_FALSE(insideBox(point, kBox));

  // Carried away to where the arm started: back to the transition point, then on with the box attached.
  testing::internal::CaptureStdout();
  const Release::Response released = Access::release(node, releaseTo(home));
  const std::string release_output = testing::internal::GetCapturedStdout();
  ASSERT_EQ(released.code, 0) << released.message << release_output;
  const auto all_goals = world.controller().acceptedGoals();
  ASSERT_EQ(all_goals.size(), 4u);
  expectJointsNear(lastSample(all_goals[2]), Access::transitionPoint(node));
  expectJointsNear(lastSample(all_goals[3]), home);
  EXPECT_FALSE(attached_in_first_leg);
  EXPECT_TRUE(attached_in_last_leg);
  EXPECT_EQ(Access::attachedCopy(node), nullptr);
  EXPECT_FALSE(Access::holding(node));
  EXPECT_FALSE(Access::mapFrozen(node));
  std::unique_ptr<octomap::OcTree> loaded(new octomap::OcTree(0.01));
  ASSERT_TRUE(loaded->readBinary("obstacle_last.bt"));
  EXPECT_GT(loaded->calcNumNodes(), 0u);
  EXPECT_EQ(loaded->calcNumNodes(), Access::octreeNodes(node));
  world.onJointState(nullptr);
}

TEST(GrabRelease, CarriedBoxSitsAtTheToolAndCollidesWithTheWorld) {
  const std::vector<double> home = {0.0, -0.5, -0.4, 0.0, -0.67, 0.0};
  GrabWorld world("arm6", toolOffset(0.12), home);
  RosTwoWrapper& node = world.node();
  // A box held 11 cm ahead of the tool, turned about the tool's z axis.
  const Eigen::Matrix4d tcp_to_obb = poseToIsometry({0.0, 0.02, 0.11, 0.0, 0.0, 0.3826834, 0.9238795});
  Access::pretendHeld(node, home, tcp_to_obb, {0.2, 0.1, 0.05}, {});

  testing::internal::CaptureStdout();
  ASSERT_TRUE(Access::attach(node, home));
  const auto body = Access::attachedCopy(node);
  ASSERT_NE(body, nullptr);
  Eigen::Matrix4d flange;
  Access::scene(node).getPlanningGroup()->forwardKinematicsMatrix(home, flange);
  const Eigen::Matrix4d expected = flange * toolOffset(0.12) * tcp_to_obb;
  EXPECT_TRUE(body->global_shape_poses_[0].matrix().isApprox(expected, 1e-9));
  EXPECT_EQ(body->parent_link_->getName(), "gripper_link");
  const auto& box = static_cast<const shapes::Box&>(*body->shapes_[0]);
  EXPECT_NEAR(box.size[0], 0.22, 1e-12);
  EXPECT_NEAR(box.size[2], 0.07, 1e-12);

  // An obstacle where only the carried box is makes the state invalid until the box is let go.
  const Eigen::Vector3d centre = expected.topRightCorner<3, 1>();
  auto tree = std::make_shared<octomap::OcTree>(0.01);
  tree->updateNode(octomap::point3d(centre.x(), centre.y(), centre.z()), true, false);
  tree->updateInnerOccupancy();
  Access::scene(node).updateWorldOctomap(tree);
  EXPECT_FALSE(Access::scene(node).isStateValid(home.data()));
  Access::detach(node);
  EXPECT_TRUE(Access::scene(node).isStateValid(home.data()));
  testing::internal::GetCapturedStdout();
}

}  // namespace
