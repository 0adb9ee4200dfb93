// A held object through the node with its simulated peers, on each arm: from the grab until the release lets it go
// every command carries the box on the tool and keeps the obstacle map frozen without it; a release that fails
// keeps the grab; a grab while holding is refused; the way back to the transition point carries the box unless it
// leaves the grasp itself; boxes no arm could carry are refused, flat ones taken; goals where the arm stands succeed
// without a trajectory.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>

#include "grab/pose_conversion.h"
#include "node/motion_request_checks.h"
#include "node_rig.h"
#include "ros_test_support.hpp"

namespace {

using Grab = Access::Grab;
using Release = Access::Release;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const arm_sim::Cuboid kTable{{0.25, -0.60, -0.09}, {0.95, 0.60, -0.05}};
const arm_sim::Cuboid kPillar{{0.45, -0.06, -0.05}, {0.57, 0.06, 0.90}};

struct Carry {
  Arm arm;
  std::vector<double> home;
  arm_sim::Cuboid box;
};
// A box on the table within each arm's reach, and a home clear of it.
const std::vector<Carry> kCarries = {
    {Arm::Six, {-0.8, -0.5, -0.4, 0.0, -0.67, 0.0}, {{0.50, 0.25, -0.05}, {0.62, 0.37, 0.07}}},
    {Arm::Five, {-0.8, -0.3, 0.6, 0.5, 0.0}, {{0.30, 0.20, -0.05}, {0.40, 0.30, 0.05}}}};

std::array<double, 3> sizeOf(const arm_sim::Cuboid& box) {
  const Eigen::Vector3d edges = box.max - box.min;
  return {edges.x(), edges.y(), edges.z()};
}

// The tool pointing down 11 cm above the box's centre, the box given in the tool's frame.
Grab::Request grabFromAbove(const arm_sim::Cuboid& box, const std::array<double, 3>& size) {
  const Eigen::Vector3d centre = (box.min + box.max) / 2;
  Grab::Request request;
  request.target_pose = {centre.x(), centre.y(), centre.z() + 0.11, 1.0, 0.0, 0.0, 0.0};
  request.obb_pose = {0.0, 0.0, 0.11, 0.0, 0.0, 0.0, 1.0};
  request.obb_size = size;
  return request;
}

Eigen::Vector3d topOf(const arm_sim::Cuboid& solid) {
  const Eigen::Vector3d middle = (solid.min + solid.max) / 2;
  return Eigen::Vector3f(middle.x(), middle.y(), solid.max.z()).cast<double>();
}

// Whether the arm at `q` is free of collision with the held box, and without it.
std::pair<bool, bool> freeCarriedAndBare(RosTwoWrapper& node, const std::vector<double>& q) {
  auto body = Access::attachedCopy(node);
  std::pair<bool, bool> free{false, false};
  if (!body) return free;
  testing::internal::CaptureStdout();
  Access::withObstacleMap(node, [&](auto&, auto&, auto& scene) {
    free.first = scene.isStateValid(q.data());
    scene.detachBody("grab_object");
    free.second = scene.isStateValid(q.data());
    scene.getRobotState()->attachBody(std::move(body));
  });
  testing::internal::GetCapturedStdout();
  return free;
}

// Near `from`, shoulder or elbow turned: a configuration the bare arm may take but the held box cannot.
std::vector<double> intoObstacleWithTheBox(NodeRig& rig, const std::vector<double>& from) {
  for (double turn : {0.1, -0.1, 0.2, -0.2, 0.3, -0.3, 0.4, -0.4}) {
    for (size_t j : {1, 2}) {
      std::vector<double> q = from;
      q[j] += turn;
      if (q[j] < rig.joints().limits[j].lower || q[j] > rig.joints().limits[j].upper) continue;
      if (freeCarriedAndBare(rig.node(), q) == std::pair(false, true)) return q;
    }
  }
  return {};
}

Eigen::Vector3d heldBoxCentre(RosTwoWrapper& node, const std::vector<double>& q) {
  const auto& kinematics = Access::scene(node).getPlanningGroup()->kinematics_interface_ptr_;
  const Eigen::Matrix4d box = kinematics->forwardKinematics(q) * Access::toolMatrix(node) * Access::tcpToObb(node);
  return box.topRightCorner<3, 1>();
}

// A place the arm reaches holding `held` by turning its base from `transition`, and a post on the table where the box
// passes half-way back, up to the box's centre: the straight way back is free for the bare arm but not for the box,
// and both ends are free with it. Empty when no turn within the base's limits gives one.
struct Detour {
  std::vector<double> place;
  arm_sim::Cuboid post;
};
Detour detourPast(NodeRig& rig, const std::vector<double>& transition, const robot_model::core::AttachedBody& held) {
  constexpr double kPostHalfWidth = 0.03;
  const arm_sim::JointLimits& base = rig.joints().limits[0];
  for (double turn : {0.9, -0.9, 1.2, -1.2}) {
    std::vector<double> place = transition;
    place[0] += turn;
    if (place[0] < base.lower || place[0] > base.upper) continue;
    std::vector<double> half_way = transition;
    half_way[0] += turn / 2;
    const Eigen::Vector3d centre = heldBoxCentre(rig.node(), half_way);
    const Eigen::Vector3d half(kPostHalfWidth, kPostHalfWidth, 0.0);
    arm_sim::Cuboid post{centre - half, centre + half};
    post.min.z() = kTable.max.z();
    const Access::Cloud cloud = arm_sim::sampleSurfaces({{kTable, post}}, 0.01);
    arm_sim::PathClearance carrying = clearanceFrom(rig, cloud, &held);
    const arm_sim::JointPath way_back{place, transition};
    if (carrying.firstContact({place}).empty() && carrying.firstContact({transition}).empty() &&
        !carrying.firstContact(way_back).empty() && clearanceFrom(rig, cloud).firstContact(way_back).empty()) {
      return {place, post};
    }
  }
  return {};
}

TEST(CarriedObject, HeldFromGrabToReleaseInEveryCommandAndAFailedReleaseKeepsIt) {
  for (const Carry& carry : kCarries) {
    SCOPED_TRACE(armName(carry.arm));
    NodeRig rig(nodeConfig(carry.arm, false), carry.home, arm_sim::Scene{{kTable, kPillar, carry.box}});
    RosTwoWrapper& node = rig.node();
    ASSERT_TRUE(rig.showScene());
    const Crossing crossing = findCrossing(rig);
    ASSERT_FALSE(crossing.inside.empty());
    const std::array<double, 3> size = sizeOf(carry.box);
    const auto goalsSent = [&rig] { return rig.controller().acceptedGoals().size(); };
    const auto expectHeld = [&](const char* after) {
      EXPECT_TRUE(Access::holding(node)) << after;
      EXPECT_TRUE(Access::mapFrozen(node)) << after;
      EXPECT_NE(Access::attachedCopy(node), nullptr) << after;
      EXPECT_FALSE(Access::occupied(node, topOf(carry.box))) << after;
      EXPECT_TRUE(Access::occupied(node, topOf(kPillar))) << after;
    };
    // The five-joint arm's solver gives no single pose solution: its pose goals fail before planning.
    const auto poseGoalCode = [&](const std::vector<double>& q) {
      const auto& kinematics = Access::scene(node).getPlanningGroup()->kinematics_interface_ptr_;
      return Access::moveJoints(node, poseRequest(isometryToPose(kinematics->forwardKinematics(q) *
                                                                 Access::toolMatrix(node)))).code;
    };
    testing::internal::CaptureStdout();

    // Refused before anything moves or is cut: goals that are not finite, a box longer than any arm could carry.
    std::vector<double> not_finite = carry.home;
    not_finite[0] = kNaN;
    EXPECT_EQ(Access::moveJoints(node, jointRequest(not_finite)).code, -21);
    EXPECT_EQ(Access::moveToGoal(node, not_finite), -2);
    const size_t nodes = Access::octreeNodes(node);
    EXPECT_EQ(Access::grab(node, grabFromAbove(carry.box, {0.1, 100.0, 0.1})).code, -11);
    EXPECT_EQ(Access::octreeNodes(node), nodes);
    EXPECT_FALSE(Access::mapFrozen(node));
    EXPECT_EQ(goalsSent(), 0u);

    ASSERT_EQ(Access::grab(node, grabFromAbove(carry.box, size)).code, 0);
    // Neither a command without motion nor a camera frame puts the held box back.
    EXPECT_EQ(Access::moveJoints(node, jointRequest({}, 2)).code, 0);
    EXPECT_FALSE(rig.showScene(std::chrono::milliseconds(300)));
    testing::internal::GetCapturedStdout();
    expectHeld("cmd_type 2");

    // Where the bare arm could go but the box would be in an obstacle, nothing moves.
    const std::vector<double> into = intoObstacleWithTheBox(rig, Access::grabGoal(node));
    ASSERT_FALSE(into.empty());
    size_t sent = goalsSent();
    testing::internal::CaptureStdout();
    EXPECT_EQ(Access::moveJoints(node, jointRequest(into)).code, -21);
    EXPECT_EQ(Access::moveToGoal(node, into), -2);
    if (carry.arm == Arm::Six) {
      EXPECT_EQ(poseGoalCode(into), -24);
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(goalsSent(), sent);
    expectHeld("refused goals");

    // Home, the box on the tool all the way.
    std::atomic<int> joint_states{0};
    std::atomic<bool> always_attached{true};
    rig.onJointState([&](size_t goals) {
      if (goals != sent + 1) return;
      ++joint_states;
      if (Access::attachedCopy(node) == nullptr) always_attached = false;
    });
    testing::internal::CaptureStdout();
    EXPECT_EQ(Access::moveJoints(node, jointRequest(carry.home)).code, 0);
    testing::internal::GetCapturedStdout();
    rig.onJointState(nullptr);
    EXPECT_EQ(goalsSent(), sent + 1);
    EXPECT_GT(joint_states, 0);
    EXPECT_TRUE(always_attached);
    expectHeld("home");

    // Where the arm stands already: done, nothing sent.
    const std::vector<double> here = Access::currentJoints(node);
    sent = goalsSent();
    testing::internal::CaptureStdout();
    EXPECT_EQ(Access::moveJoints(node, jointRequest(here)).code, 0);
    EXPECT_EQ(Access::moveToGoal(node, here), 0);
    if (carry.arm == Arm::Six) {
      EXPECT_EQ(poseGoalCode(here), 0);
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(goalsSent(), sent);
    EXPECT_EQ(rig.controller().lastRejection(), "");
    expectHeld("goals where the arm stands");

    // Release joints beyond a limit, then a release whose second leg cannot be planned: still held. Tried again
    // from the transition point to a free place, the box is let go.
    std::vector<double> beyond = carry.home;
    beyond[0] = 100.0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Access::release(node, releaseTo(beyond)).code, -9);
    EXPECT_EQ(goalsSent(), sent);
    EXPECT_EQ(Access::release(node, releaseTo(crossing.inside)).code, -101);
    EXPECT_EQ(goalsSent(), sent + 1);
    testing::internal::GetCapturedStdout();
    expectHeld("failed releases");
    testing::internal::CaptureStdout();
    EXPECT_EQ(Access::release(node, releaseTo(carry.home)).code, 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(goalsSent(), sent + 2);
    EXPECT_FALSE(Access::holding(node));
    EXPECT_FALSE(Access::mapFrozen(node));
    EXPECT_EQ(Access::attachedCopy(node), nullptr);

    // A flat box is a box.
    ASSERT_TRUE(rig.showScene());
    testing::internal::CaptureStdout();
    EXPECT_EQ(Access::grab(node, grabFromAbove(carry.box, {size[0], size[1], 0.0})).code, 0);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(Access::holding(node));
  }
}

// After the held box was carried elsewhere the release carries it back to the transition point, around what the bare
// arm would pass but the box would not, or answers -8 and moves nothing; so does a retry after a failed second leg.
// From the grasp itself the way back leaves the box out. A grab while holding is refused and the grab kept.
TEST(CarriedObject, TheWayBackCarriesTheBoxUnlessItLeavesTheGraspAndAGrabWhileHoldingIsRefused) {
  for (const Carry& carry : kCarries) {
    SCOPED_TRACE(armName(carry.arm));
    NodeRig rig(nodeConfig(carry.arm, false), carry.home, arm_sim::Scene{{kTable, carry.box}});
    RosTwoWrapper& node = rig.node();
    ASSERT_TRUE(rig.showScene());
    const Grab::Request grab = grabFromAbove(carry.box, sizeOf(carry.box));
    const auto grabbed = [&] { return quietly([&] { return Access::grab(node, grab); }); };
    const auto moved = [&](const std::vector<double>& q) {
      return quietly([&] { return Access::moveJoints(node, jointRequest(q)); }).code;
    };
    const auto goalsSent = [&rig] { return rig.controller().acceptedGoals().size(); };
    const auto expectHeld = [&](const char* after) {
      EXPECT_TRUE(Access::holding(node)) << after;
      EXPECT_TRUE(Access::mapFrozen(node)) << after;
      EXPECT_NE(Access::attachedCopy(node), nullptr) << after;
    };
    ASSERT_EQ(grabbed().code, 0);
    const std::vector<double> transition = Access::transitionPoint(node);
    const auto held = Access::attachedCopy(node);
    ASSERT_NE(held, nullptr);

    // A second grab: refused before anything is shown, cut or moved.
    const size_t nodes = Access::octreeNodes(node);
    const size_t markers = rig.recorders().markers.count();
    const size_t way_back = goalsSent() + 1;
    const auto refused = grabbed();
    EXPECT_EQ(std::pair(refused.code, refused.message), std::pair(-11, std::string("invalid grab request!")));
    EXPECT_EQ(Access::octreeNodes(node), nodes);
    EXPECT_EQ(rig.recorders().markers.count(), markers);
    EXPECT_EQ(goalsSent(), way_back - 1);
    EXPECT_EQ(Access::transitionPoint(node), transition);
    expectHeld("a second grab");

    // Back from the grasp itself without the box, as the gripper went into it.
    std::atomic<bool> carried_out_of_grasp{false};
    rig.onJointState([&node, &carried_out_of_grasp, way_back](size_t goals) {
      if (goals == way_back && Access::attachedCopy(node) != nullptr) carried_out_of_grasp = true;
    });
    Release::Request stay;
    stay.cmd_type = 1;
    EXPECT_EQ(quietly([&] { return Access::release(node, stay); }).code, 0);
    rig.onJointState(nullptr);
    EXPECT_EQ(goalsSent(), way_back);
    EXPECT_FALSE(carried_out_of_grasp);
    EXPECT_FALSE(Access::holding(node));

    // Grabbed again with a post in the way of the box only, and carried to the place beyond it.
    const Detour detour = detourPast(rig, transition, *held);
    ASSERT_FALSE(detour.place.empty());
    ASSERT_TRUE(rig.showScene({{kTable, carry.box, detour.post}}));
    ASSERT_EQ(grabbed().code, 0);
    ASSERT_EQ(Access::transitionPoint(node), transition);
    ASSERT_EQ(moved(detour.place), 0);
    arm_sim::PathClearance carrying = clearanceFrom(rig, Access::heldCloud(node), held.get());

    // -8 with nothing sent, or every leg played with the box clear, the first from where the arm stood to the
    // transition point.
    const auto releasedFromHere = [&] {
      const std::vector<double> start = Access::currentJoints(node);
      const size_t before = goalsSent();
      const int32_t code = quietly([&] { return Access::release(node, releaseTo(carry.home)); }).code;
      const auto legs = rig.controller().acceptedGoals();
      EXPECT_EQ(code == -8, legs.size() == before) << code;
      for (size_t leg = before; leg < legs.size(); ++leg) {
        const std::vector<double> contact = carrying.firstContact(arm_sim::pathOf(legs[leg]));
        EXPECT_TRUE(contact.empty()) << "leg " << leg + 1 << " meets an obstacle at " << testing::PrintToString(contact);
      }
      if (legs.size() > before) {
        EXPECT_TRUE(atJoints(start, legs[before].points.front().positions, 1e-9));
        EXPECT_TRUE(atJoints(transition, legs[before].points.back().positions, 1e-6));
      }
      return code;
    };
    // The controller refuses the second leg: the grab is kept.
    rig.onJointState([&rig, first_leg = goalsSent() + 1](size_t goals) {
      if (goals == first_leg) rig.controller().setScript({arm_sim::GoalOutcome::Reject});
    });
    const int32_t failed = releasedFromHere();
    rig.onJointState(nullptr);
    rig.controller().setScript({});
    EXPECT_TRUE(failed == -8 || failed == -101) << failed;
    expectHeld("a failed release");
    // Tried again from the place.
    ASSERT_EQ(moved(detour.place), 0);
    const int32_t retried = releasedFromHere();
    EXPECT_TRUE(retried == -8 || retried == 0) << retried;
    EXPECT_EQ(Access::holding(node), retried == -8);
  }
}

}  // namespace
