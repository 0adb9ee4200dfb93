// Where a held object was lifted from stays an obstacle while it is held, on each arm, for boxes on a table, on a
// shelf board and on end on a narrow pedestal: goals that would sink the box into what it stood on are refused, goals
// that lift it are played, and no played leg takes the box into a solid of the scene, judged by FCL on the scene's
// solids and the box carried rigidly by the flange from where the arm grasped it. Releases from the grasp, from
// elsewhere and after refused legs let the box go, and the obstacle once a camera frame shows the place again;
// refused legs keep both.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "grab/pose_conversion.h"
#include "kinematics/kinematics_interface.h"
#include "node_rig.h"
#include "robot_model/shapes/shapes.h"
#include "support/grab_surface.h"
#include "support/held_box.h"

namespace {

using Grab = Access::Grab;
using Release = Access::Release;
// How deep into the surface a goal takes the box that must be refused, and how deep the played legs may take it.
constexpr double kRefusedDepth = 0.02;
constexpr double kPlayedDepth = 0.01;
const arm_sim::Cuboid kTable{{0.25, -0.60, -0.09}, {0.95, 0.60, -0.05}};
const arm_sim::Cuboid kPillar{{0.45, -0.06, -0.05}, {0.57, 0.06, 0.90}};

enum class Leave { FromTheGrasp, FromALiftedPlace, AfterRefusedLegs };

// A box on what it stands on, as the scene's solids, and how the grab describes it: edge lengths along the box's own
// axes, turned by `turn` from the tool's (pointing down).
struct Stand {
  const char* name;
  std::vector<arm_sim::Cuboid> solids;
  arm_sim::Cuboid box;
  arm_sim::Cuboid support;
  Eigen::Vector3d size;
  Eigen::Matrix3d turn;
  // Tool poses straight below the grasp, for the arm whose solver gives single pose solutions.
  std::vector<double> pose_drops;
  Leave leave;
};

// Each arm's box place (its main-job-like box within reach), a shelf board and a narrow pedestal there.
std::vector<Stand> standsFor(Arm arm) {
  const Eigen::Vector2d at = arm == Arm::Six ? Eigen::Vector2d(0.56, 0.31) : Eigen::Vector2d(0.35, 0.25);
  const double cube = arm == Arm::Six ? 0.12 : 0.10;
  const arm_sim::Cuboid cube_box = around(at, Eigen::Vector3d::Constant(cube), kTable.max.z());
  const Eigen::Vector3d flat(0.10, 0.08, 0.04);
  const Eigen::Vector3d tall(0.05, 0.05, 0.15);
  const arm_sim::Cuboid board = around(at, Eigen::Vector3d(0.30, 0.30, 0.04), 0.06);
  const arm_sim::Cuboid flat_box = around(at, flat, board.max.z());
  const arm_sim::Cuboid pedestal = around(at, Eigen::Vector3d(0.06, 0.06, 0.08), kTable.max.z());
  const arm_sim::Cuboid tall_box = around(at, tall, pedestal.max.z());
  // On end: the box's x axis stands up.
  const Eigen::Matrix3d on_end = Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitY()).toRotationMatrix();
  // Far below the board the box would be clear of it: only the goal just below is into it.
  return {
      {"table", {kTable, kPillar, cube_box}, cube_box, kTable, Eigen::Vector3d::Constant(cube),
       Eigen::Matrix3d::Identity(), {0.03, 0.12}, Leave::FromTheGrasp},
      {"shelf board", {kTable, board, flat_box}, flat_box, board, flat, Eigen::Matrix3d::Identity(), {0.03},
       Leave::FromALiftedPlace},
      {"narrow pedestal", {kTable, pedestal, tall_box}, tall_box, pedestal, Eigen::Vector3d(tall.z(), tall.y(), tall.x()),
       on_end, {0.03, 0.12}, Leave::AfterRefusedLegs},
  };
}

// The tool pointing down (turned half about x) 5 cm above the box's top, the box given in the tool's frame.
Grab::Request grabFromAbove(const Stand& stand) {
  const Eigen::Vector3d centre = (stand.box.min + stand.box.max) / 2;
  const double above = stand.box.max.z() + 0.05 - centre.z();
  Grab::Request request;
  request.target_pose = {centre.x(), centre.y(), centre.z() + above, 1.0, 0.0, 0.0, 0.0};
  const Eigen::Quaterniond turn(stand.turn);
  request.obb_pose = {0.0, 0.0, above, turn.x(), turn.y(), turn.z(), turn.w()};
  request.obb_size = {stand.size.x(), stand.size.y(), stand.size.z()};
  return request;
}

// How far below the held box's lowest point the lowest point of the box as the node checks it lies: the body carried
// by the tool link, grown by the link's scale and padding. The box's axes in the base frame, its edges along them.
double checkedBoxMargin(RosTwoWrapper& node, const Eigen::Matrix3d& box_axes, const Eigen::Vector3d& box_size) {
  const auto body = Access::attachedCopy(node);
  const auto& shape = static_cast<const shapes::Box&>(*body->shapes_.front());
  const auto& robot = Access::scene(node).getPaddedCollisionRobot();
  const std::string& link = body->parent_link_->getName();
  const Eigen::Vector3d checked =
      Eigen::Vector3d(shape.size[0], shape.size[1], shape.size[2]) * robot.getLinkScale(link) +
      Eigen::Vector3d::Constant(2 * robot.getLinkPadding(link));
  return box_axes.row(2).cwiseAbs().dot((checked - box_size).transpose()) / 2;
}

class HeldObjectSurface : public testing::TestWithParam<Arm> {};

TEST_P(HeldObjectSurface, GoalsIntoWhereTheBoxStoodAreRefusedUntilItIsLetGo) {
  const Arm arm = GetParam();
  const std::vector<double> home =
      arm == Arm::Six ? std::vector<double>{-0.8, -0.5, -0.4, 0.0, -0.67, 0.0} : std::vector<double>{-0.8, -0.3, 0.6, 0.5, 0.0};
  NodeRig rig(nodeConfig(arm, false, settingsFor(arm)), home);
  RosTwoWrapper& node = rig.node();
  const auto goalsSent = [&rig] { return rig.controller().acceptedGoals().size(); };
  const auto movedTo = [&](const std::vector<double>& q) {
    return quietly([&] { return Access::moveJoints(node, jointRequest(q)); }).code;
  };
  const auto& kinematics = *Access::scene(node).getPlanningGroup()->kinematics_interface_ptr_;
  const auto toolPoseGoal = [&](const std::vector<double>& q, double rise) {
    Eigen::Matrix4d tool = kinematics.forwardKinematics(q) * Access::toolMatrix(node);
    tool(2, 3) += rise;
    return quietly([&] { return Access::moveJoints(node, poseRequest(isometryToPose(tool))); }).code;
  };

  for (const Stand& stand : standsFor(arm)) {
    SCOPED_TRACE(stand.name);
    ASSERT_TRUE(rig.showScene({stand.solids}));
    ASSERT_EQ(quietly([&] { return Access::grab(node, grabFromAbove(stand)); }).code, 0);
    const std::vector<double> grasp = Access::currentJoints(node);
    const HeldBox held(node, grasp, stand.box);
    const size_t first_held_leg = goalsSent();

    // Below the box, at least the cut-out's depth, its top under the box by no more than the box's padding as it is
    // checked plus 1 cm.
    const auto surface = surfaceOf(node);
    ASSERT_TRUE(surface.has_value());
    const double top = surface->first.translation().z() + surface->second.z() / 2;
    const double clearance = held.lowestZ(grasp) - top;
    const Eigen::Matrix3d box_axes = Eigen::Vector3d(1.0, -1.0, -1.0).asDiagonal() * stand.turn;
    EXPECT_GT(clearance, checkedBoxMargin(node, box_axes, stand.size));
    EXPECT_LE(clearance, checkedBoxMargin(node, box_axes, stand.size) + 0.01);
    EXPECT_LE(surface->first.translation().z() - surface->second.z() / 2, held.lowestZ(grasp) - 0.03);

    // Refused, nothing sent: the box into the surface by a joint goal the node would take without it, and (the
    // six-joint arm's solver gives single pose solutions) by tool poses straight below the grasp.
    const auto sunk = [&] {
      return nearGrasp(rig, grasp,
                       [&](const std::vector<double>& q) { return held.depthInto(stand.support, q) >= kRefusedDepth; });
    };
    const std::vector<double> into = sunk();
    ASSERT_FALSE(into.empty());
    EXPECT_EQ(freeWithAndWithoutSurface(node, into), std::pair(false, true));
    EXPECT_EQ(movedTo(into), -21);
    EXPECT_EQ(quietly([&] { return Access::moveToGoal(node, into); }), -2);
    if (arm == Arm::Six) {
      for (double drop : stand.pose_drops) EXPECT_EQ(toolPoseGoal(grasp, -drop), -24) << drop;
    }
    EXPECT_EQ(goalsSent(), first_held_leg);

    // Lifted, the box is carried.
    const std::vector<double> lifted =
        nearGrasp(rig, grasp, [&](const std::vector<double>& q) { return held.lowestZ(q) > held.lowestZ(grasp) + 0.04; });
    ASSERT_FALSE(lifted.empty());
    if (stand.leave == Leave::FromALiftedPlace) {
      EXPECT_EQ(movedTo(lifted), 0);
      if (arm == Arm::Six) {
        EXPECT_EQ(toolPoseGoal(Access::currentJoints(node), 0.03), 0);
      }
    }

    if (stand.leave == Leave::AfterRefusedLegs) {
      // The controller refuses the first leg, then the second: the grab and the surface are kept, also through the
      // map the release rebuilds between its legs.
      rig.controller().setScript({arm_sim::GoalOutcome::Reject});
      EXPECT_EQ(quietly([&] { return Access::release(node, releaseTo(home)); }).code, -8);
      rig.controller().setScript({});
      rig.onJointState([&rig, first_leg = goalsSent() + 1](size_t goals) {
        if (goals == first_leg) rig.controller().setScript({arm_sim::GoalOutcome::Reject});
      });
      EXPECT_EQ(quietly([&] { return Access::release(node, releaseTo(home)); }).code, -101);
      rig.onJointState(nullptr);
      rig.controller().setScript({});
      EXPECT_TRUE(Access::holding(node));
      EXPECT_TRUE(surfaceOf(node).has_value());
      EXPECT_EQ(movedTo(into), -21);
    }
    EXPECT_EQ(quietly([&] { return Access::release(node, releaseTo(home)); }).code, 0);
    EXPECT_FALSE(Access::holding(node));
    // Where the box stood stays an obstacle until a camera frame shows it again, the box gone from it. The release's
    // own obstacle cloud may come late: the wait is for the frame's.
    EXPECT_TRUE(surfaceOf(node).has_value());
    ASSERT_TRUE(rig.showAfresh({{stand.solids.begin(), stand.solids.end() - 1}}));
    EXPECT_FALSE(surfaceOf(node).has_value());

    // Every leg played while the box was in the gripper, the release's included.
    const auto legs = rig.controller().acceptedGoals();
    EXPECT_GE(legs.size(), first_held_leg + 2);
    for (size_t leg = first_held_leg; leg < legs.size(); ++leg) {
      for (const std::vector<double>& q : arm_sim::densePath(arm_sim::pathOf(legs[leg]))) {
        for (const arm_sim::Cuboid& solid : stand.solids) {
          if (&solid == &stand.solids.back()) continue;  // the box itself
          EXPECT_LT(held.depthInto(solid, q), kPlayedDepth) << "leg " << leg + 1 << " at " << testing::PrintToString(q);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Arms, HeldObjectSurface, testing::Values(Arm::Six, Arm::Five),
                         [](const testing::TestParamInfo<Arm>& info) { return std::string(armName(info.param)); });

}  // namespace
