// Grab and release end to end: the node in simulation against a simulated arm controller, a box on a table
// as the obstacle cloud, on the six- and the five-axis arm.
#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <thread>

#include <Eigen/Geometry>
#include <Eigen/LU>
#include <arm_sim/scene.hpp>
#include <gtest/gtest.h>
#include <pcl/io/pcd_io.h>

#include "grab/pose_conversion.h"
#include "motion_rig.h"
#include "robot_model/shapes/shapes.h"

namespace {

using Access = MotionTestAccess;
using Grab = Access::Grab;
using Release = Access::Release;

// A table top 5 cm below the base and a 12 cm box standing on it.
const arm_sim::Cuboid kTable{{0.25, -0.60, -0.09}, {0.95, 0.60, -0.05}};
const arm_sim::Cuboid kBox{{0.50, 0.25, -0.05}, {0.62, 0.37, 0.07}};
const Eigen::Vector3d kBoxCentre(0.56, 0.31, 0.01);
const std::array<double, 3> kBoxSize = {0.12, 0.12, 0.12};

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

TEST(GrabRelease, BoxOnTableGrabbedFromAboveCarriedToReleaseJointsAttachedAtTheTool) {
  const std::vector<double> home = {0.0, -0.5, -0.4, 0.0, -0.67, 0.0};
  MotionRig world(Arm::Six, false, true, home, toolOffset(0.12));
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

  // Attached at the tool: a box held 11 cm ahead of the tool, turned about the tool's z axis.
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

// Calls quietly; the console output is returned for a failed expectation to show.
template <typename Call>
auto quietly(Call call) {
  testing::internal::CaptureStdout();
  auto result = call();
  testing::internal::GetCapturedStdout();
  return result;
}

TEST(GrabRelease, BadRequestsAreRefusedBeforeAnythingMovesOrChanges) {
  const std::vector<double> start = {0.0, -0.3, 0.6, 0.5, 0.0};
  MotionRig world(Arm::Five, false, true, start, toolOffset(0.1));
  RosTwoWrapper& node = world.node();
  const Eigen::Matrix4d held_box = poseToIsometry({0, 0, 0.1, 0, 0, 0, 1});
  Access::pretendHeld(node, start, held_box, kBoxSize, tableWithBox());
  const auto unchanged = [&](const char* what) {
    EXPECT_TRUE(Access::holding(node)) << what;
    EXPECT_TRUE(Access::mapFrozen(node)) << what;
    EXPECT_EQ(Access::transitionPoint(node), start) << what;
    EXPECT_EQ(Access::tcpToObb(node), held_box) << what;
    EXPECT_TRUE(world.controller().acceptedGoals().empty()) << what;
    EXPECT_EQ(Access::octreeNodes(node), 0u) << what;
  };
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  for (const auto& [what, change] : std::vector<std::pair<const char*, std::function<void(Grab::Request&)>>>{
           {"zero edge", [](Grab::Request& r) { r.obb_size[1] = 0.0; }},
           {"negative edge", [](Grab::Request& r) { r.obb_size[2] = -0.1; }},
           {"NaN target", [](Grab::Request& r) { r.target_pose[2] = kNaN; }},
           {"infinite box pose", [](Grab::Request& r) { r.obb_pose[0] = std::numeric_limits<double>::infinity(); }},
           {"quaternion off unit", [](Grab::Request& r) { r.target_pose[3] = 1.01; }}}) {
    Grab::Request request = grabFromAbove(0.1);
    change(request);
    const Grab::Response response = quietly([&] { return Access::grab(node, request); });
    EXPECT_EQ(response.code, -11) << what;
    EXPECT_EQ(response.message, "invalid grab request!") << what;
    unchanged(what);
  }
  EXPECT_EQ(world.recorders().markers.count(), 0u);

  std::vector<double> short_joints(start.begin(), start.end() - 1);
  Release::Response response = quietly([&] { return Access::release(node, releaseTo(short_joints)); });
  EXPECT_EQ(response.code, -9);
  EXPECT_EQ(response.message, "n_dof_ dose not equal data.size();!");
  unchanged("release joints one short");
  response = quietly([&] { return Access::release(node, releaseTo({0.0, kNaN, 0.0, 0.0, 0.0})); });
  EXPECT_EQ(response.code, -9);
  unchanged("NaN release joint");

  // A first leg the controller refuses ends the release: nothing attached, the map handed back.
  world.controller().setScript({arm_sim::GoalOutcome::Reject});
  response = quietly([&] { return Access::release(node, releaseTo(start)); });
  EXPECT_EQ(response.code, -8);
  EXPECT_EQ(response.message, "armReleaseCmd From grab point to transition point failed 1!");
  EXPECT_FALSE(Access::holding(node));
  EXPECT_FALSE(Access::mapFrozen(node));
  EXPECT_EQ(Access::attachedCopy(node), nullptr);
  response = quietly([&] { return Access::release(node, releaseTo(start)); });
  EXPECT_EQ(response.code, -7);
  EXPECT_EQ(response.message, "armReleaseCmd failed, grab goal does not update!");
}

TEST(GrabRelease, OnlyASuccessfulGrabIsHeldAndAFailedOneKeepsTheEarlierObject) {
  const std::vector<double> home = {0.0, -0.5, -0.4, 0.0, -0.67, 0.0};
  MotionRig world(Arm::Six, false, true, home, toolOffset(0.12));
  RosTwoWrapper& node = world.node();
  Access::setObstacleCloud(node, tableWithBox());
  const auto expectNothingHeld = [&](const char* what) {
    EXPECT_FALSE(Access::holding(node)) << what;
    EXPECT_FALSE(Access::mapFrozen(node)) << what;
    EXPECT_EQ(quietly([&] { return Access::release(node, releaseTo(home)); }).code, -7) << what;
  };

  world.controller().setScript({arm_sim::GoalOutcome::Reject});
  Grab::Response response = quietly([&] { return Access::grab(node, grabFromAbove(0.11)); });
  EXPECT_EQ(response.code, -5);
  EXPECT_EQ(response.message, "robot avoid obstacles plan failed!");
  expectNothingHeld("transition point refused");

  // The controller refuses the grasp once the arm is on its way to the transition point.
  world.controller().setScript({});
  world.onJointState([&](size_t goals) {
    if (goals == 1) world.controller().setScript({arm_sim::GoalOutcome::Reject});
  });
  response = quietly([&] { return Access::grab(node, grabFromAbove(0.11)); });
  world.onJointState(nullptr);
  EXPECT_EQ(response.code, -6);
  expectNothingHeld("grasp refused");

  world.controller().setScript({});
  // From where it started: a leg of no length is no trajectory the controller takes.
  JointPath path;
  ASSERT_EQ(quietly([&] { return Access::moveToGoalNotUpdateObstacle(node, home, 1, path); }), 0);
  ASSERT_EQ(quietly([&] { return Access::grab(node, grabFromAbove(0.11)); }).code, 0);
  const std::vector<double> transition_point = Access::transitionPoint(node);
  const size_t held_points = Access::heldCloud(node).size();
  const size_t goals = world.controller().acceptedGoals().size();
  const auto expectStillHeld = [&](const char* what) {
    EXPECT_TRUE(Access::holding(node)) << what;
    EXPECT_TRUE(Access::mapFrozen(node)) << what;
    EXPECT_EQ(Access::transitionPoint(node), transition_point) << what;
    EXPECT_EQ(Access::heldCloud(node).size(), held_points) << what;
    EXPECT_FALSE(Access::occupied(node, kBoxTop)) << what;
    EXPECT_TRUE(Access::occupied(node, kFarTable)) << what;
  };

  // Out of reach: no grab configuration, after a pause to look at the cut-out that holds up no one else.
  Grab::Request unreachable = grabFromAbove(0.11);
  unreachable.target_pose[0] = 3.0;
  std::atomic<bool> grab_running{true};
  bool scene_free_during_pause = false;
  std::thread camera([&] {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const auto asked = std::chrono::steady_clock::now();
    Access::octreeNodes(node);
    scene_free_during_pause = grab_running && std::chrono::steady_clock::now() - asked < std::chrono::seconds(1);
  });
  response = quietly([&] { return Access::grab(node, unreachable); });
  grab_running = false;
  camera.join();
  EXPECT_TRUE(scene_free_during_pause);
  EXPECT_EQ(response.code, -3);
  EXPECT_EQ(response.message, "generate grab_goal failed!");
  expectStillHeld("out of reach");
  world.controller().setScript({arm_sim::GoalOutcome::Reject});
  EXPECT_EQ(quietly([&] { return Access::grab(node, grabFromAbove(0.11)); }).code, -5);
  expectStillHeld("second grab refused");
  EXPECT_EQ(world.controller().acceptedGoals().size(), goals);

  // Release joints beyond the limits: the box is carried to the transition point, then the plan fails.
  world.controller().setScript({});
  std::vector<double> beyond = home;
  beyond[0] = 3.2;
  const Release::Response released = quietly([&] { return Access::release(node, releaseTo(beyond)); });
  EXPECT_EQ(released.code, -101);
  EXPECT_EQ(released.message, "armReleaseCmd From transition point to release point  plan failed!");
  expectJointsNear(lastSample(world.controller().acceptedGoals().back()), transition_point);
  EXPECT_EQ(Access::attachedCopy(node), nullptr);
  expectNothingHeld("release failed");
}

TEST(GrabRelease, BoxesReachedSidewaysObliquelyAndFromAboveOnBothArms) {
  struct Case {
    const char* what;
    Arm arm;
    std::vector<double> start;
    arm_sim::Cuboid support;
    arm_sim::Cuboid box;
    Eigen::Quaterniond tool;  // the tool's orientation; it approaches along its z axis
  };
  const Eigen::Quaterniond sideways(Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitY()));
  const Eigen::Quaterniond down(0.0, 1.0, 0.0, 0.0);
  const Eigen::Quaterniond oblique(Eigen::AngleAxisd(3 * M_PI / 4, Eigen::Vector3d::UnitY()));
  const arm_sim::Cuboid shelf{{0.45, -0.30, 0.16}, {0.80, 0.30, 0.20}};
  const arm_sim::Cuboid box_on_shelf{{0.50, -0.05, 0.20}, {0.60, 0.05, 0.35}};
  const std::vector<double> arm6_home = {0.0, -0.5, -0.4, 0.0, -0.67, 0.0};
  const std::vector<double> arm6_clear_of_shelf = {0.0, 0.0, -0.5, 0.0, -1.2, 0.0};
  for (const Case& entry :
       std::vector<Case>{{"arm6 sideways onto a shelf", Arm::Six, arm6_clear_of_shelf, shelf, box_on_shelf, sideways},
                         {"arm6 obliquely onto the table", Arm::Six, arm6_home, kTable, kBox, oblique},
                         {"arm5 from above onto the table",
                          Arm::Five,
                          {0.0, -0.3, 0.6, 0.5, 0.0},
                          kTable,
                          {{0.30, 0.20, -0.05}, {0.40, 0.30, 0.05}},
                          down}}) {
    MotionRig world(entry.arm, false, true, entry.start, toolOffset(0.12));
    RosTwoWrapper& node = world.node();
    Access::setObstacleCloud(node, arm_sim::sampleSurfaces({{entry.support, entry.box}}, 0.01));
    const Eigen::Vector3d centre = (entry.box.min + entry.box.max) / 2;
    const Eigen::Vector3d tool = centre - 0.11 * (entry.tool * Eigen::Vector3d::UnitZ());
    Grab::Request request;
    request.target_pose = {tool.x(),       tool.y(),       tool.z(),      entry.tool.x(),
                           entry.tool.y(), entry.tool.z(), entry.tool.w()};
    request.obb_pose = {0.0, 0.0, 0.11, 0.0, 0.0, 0.0, 1.0};
    const Eigen::Vector3d size = entry.box.max - entry.box.min;
    request.obb_size = {size.x(), size.y(), size.z()};
    testing::internal::CaptureStdout();
    const Grab::Response grabbed = Access::grab(node, request);
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_EQ(grabbed.code, 0) << entry.what << "\n" << output;
    const auto goals = world.controller().acceptedGoals();
    ASSERT_EQ(goals.size(), 2u) << entry.what;
    // The transition point backs the tool off the box without turning it.
    Eigen::Matrix4d at_transition;
    Eigen::Matrix4d at_grab;
    Access::scene(node).getPlanningGroup()->forwardKinematicsMatrix(lastSample(goals[0]), at_transition);
    Access::scene(node).getPlanningGroup()->forwardKinematicsMatrix(lastSample(goals[1]), at_grab);
    const double backed_off = (at_transition.topRightCorner<3, 1>() - at_grab.topRightCorner<3, 1>()).norm();
    EXPECT_GT(backed_off, 0.01) << entry.what;
    EXPECT_LT(backed_off, 0.3) << entry.what;
    EXPECT_FALSE(Access::occupied(node, Eigen::Vector3f(centre.cast<float>()).cast<double>())) << entry.what;

    Release::Request stay;
    stay.cmd_type = 1;
    EXPECT_EQ(quietly([&] { return Access::release(node, stay); }).code, 0) << entry.what;
    EXPECT_EQ(world.controller().acceptedGoals().size(), 3u) << entry.what;
    EXPECT_FALSE(Access::holding(node)) << entry.what;
  }
}

// The one record directory under "data" that a failed command left, emptied afterwards for the next one.
std::filesystem::path takeRecord() {
  std::vector<std::filesystem::path> records;
  for (const auto& entry : std::filesystem::directory_iterator("data")) records.push_back(entry.path());
  EXPECT_EQ(records.size(), 1u);
  return records.empty() ? std::filesystem::path() : records.front();
}

TEST(GrabRelease, FailuresOnTheRealRobotAreRecordedWithPosesScalarFirst) {
  const std::vector<double> home = {0.0, -0.5, -0.4, 0.0, -0.67, 0.0};
  MotionRig world(Arm::Six, true, true, home, toolOffset(0.12));
  RosTwoWrapper& node = world.node();
  Access::setObstacleCloud(node, tableWithBox());
  world.controller().setScript({arm_sim::GoalOutcome::Reject});
  Grab::Request request = grabFromAbove(0.11);
  request.obb_pose = {0.0, 0.0, 0.11, 0.0, 0.0, 0.6, 0.8};
  EXPECT_EQ(quietly([&] { return Access::grab(node, request); }).code, -5);
  ASSERT_TRUE(world.recorders().collision_enable.waitForCount(1, std::chrono::seconds(2)));
  EXPECT_TRUE(world.recorders().collision_enable.messages().front()->data);
  std::filesystem::path record = takeRecord();
  EXPECT_EQ(readFile(record / "grabcmd.txt"),
            "0.560000,0.310000,0.120000,0.000000,1.000000,0.000000,0.000000;\n"
            "0.000000,0.000000,0.110000,0.800000,0.000000,0.000000,0.600000;\n"
            "0.120000,0.120000,0.120000;\n");
  EXPECT_EQ(readFile(record / "grabcmd_log_error.txt")
                .find("Go to transition point failed(arm controller run), error "
                      "code = -5"),
            0u);
  std::filesystem::remove_all(record);

  const std::vector<double> transition = {0.3, -0.5, -0.4, 0.0, -0.67, 0.0};
  Access::pretendHeld(node, transition, Eigen::Matrix4d::Identity(), kBoxSize, tableWithBox());
  Release::Request stay;
  stay.cmd_type = 1;
  stay.release_pose = {0.1, 0.2, 0.3, 0.0, 0.0, 0.6, 0.8};
  EXPECT_EQ(quietly([&] { return Access::release(node, stay); }).code, -8);
  record = takeRecord();
  EXPECT_EQ(readFile(record / "releasecmd.txt"),
            "dof of robot:6,cmd type:1;\n0.100000,0.200000,0.300000,0.800000,0.000000,0.000000,0.600000;\n");
  EXPECT_EQ(readFile(record / "releasecmd_log_error.txt")
                .find("From grab point to transition point failed(arm "
                      "controller run), error code =-8"),
            0u);
}

}  // namespace
