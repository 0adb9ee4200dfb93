// A held object through the node with its simulated peers, on each arm: from the grab until the release lets it go
// every command carries the box on the tool and keeps the obstacle map frozen without it; a release that fails
// keeps the grab; boxes no arm could carry are refused, flat ones taken; goals where the arm stands succeed without
// a trajectory.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>

#include "grab/pose_conversion.h"
#include "node_rig.h"

namespace {

using Grab = Access::Grab;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const arm_sim::Cuboid kTable{{0.25, -0.60, -0.09}, {0.95, 0.60, -0.05}};
const arm_sim::Cuboid kPillar{{0.45, -0.06, -0.05}, {0.57, 0.06, 0.90}};

struct Carry {
  Arm arm;
  std::vector<double> home;
  arm_sim::Cuboid box;
};

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

TEST(CarriedObject, HeldFromGrabToReleaseInEveryCommandAndAFailedReleaseKeepsIt) {
  const std::vector<Carry> carries = {
      {Arm::Six, {-0.8, -0.5, -0.4, 0.0, -0.67, 0.0}, {{0.50, 0.25, -0.05}, {0.62, 0.37, 0.07}}},
      {Arm::Five, {-0.8, -0.3, 0.6, 0.5, 0.0}, {{0.30, 0.20, -0.05}, {0.40, 0.30, 0.05}}}};
  for (const Carry& carry : carries) {
    SCOPED_TRACE(carry.arm == Arm::Six ? "arm6" : "arm5");
    NodeRig rig(nodeConfig(carry.arm, false), carry.home, arm_sim::Scene{{kTable, kPillar, carry.box}});
    RosTwoWrapper& node = rig.node();
    ASSERT_TRUE(rig.showScene());
    const Crossing crossing = findCrossing(rig);
    ASSERT_FALSE(crossing.inside.empty());
    const Eigen::Vector3d edges = carry.box.max - carry.box.min;
    const std::array<double, 3> size{edges.x(), edges.y(), edges.z()};
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

}  // namespace
