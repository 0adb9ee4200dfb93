// What a grabbed object stood on, through the node with its simulated peers on each arm, before, during and after
// the hold: grasps that would put the arm into it are not played, a box held from the side over a narrow post is
// kept out of the post, and after the release the place where the box stood stays closed until a camera has shown
// it again. Every played leg is judged apart from the node: FCL on the scene's solids against the bare arm's bodies,
// and the box carried rigidly by the flange from its grasp, at every 0.01 rad sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "grab/pose_conversion.h"
#include "node_rig.h"
#include "support/arm_reach.h"
#include "support/grab_surface.h"
#include "support/held_box.h"

namespace {

using Grab = Access::Grab;
// How deep a goal takes the gripper, or the held box, into what the object stood on that must be refused; how deep a
// played leg may take them; how high above it a goal must be answered once the camera has shown the place again.
constexpr double kRefusedDepth = 0.02;
constexpr double kPlayedDepth = 0.01;
constexpr double kClearAbove = 0.025;
const arm_sim::Cuboid kTable{{0.25, -0.60, -0.09}, {0.95, 0.60, -0.05}};
const arm_sim::Cuboid kPillar{{0.45, -0.06, -0.05}, {0.57, 0.06, 0.90}};
// The tool pointing down (turned half about x), then turned by `yaw` about the vertical.
Eigen::Matrix3d toolDown(double yaw = 0.0) {
  return Eigen::AngleAxisd(yaw, Eigen::Vector3d::UnitZ()) * Eigen::Vector3d(1.0, -1.0, -1.0).asDiagonal();
}

std::vector<double> homeOf(Arm arm) {
  return arm == Arm::Six ? std::vector<double>{-0.8, -0.5, -0.4, 0.0, -0.67, 0.0}
                         : std::vector<double>{-0.8, -0.3, 0.6, 0.5, 0.0};
}

// Each arm's box place, as in the main job on the six-joint arm.
Eigen::Vector2d placeOf(Arm arm) { return arm == Arm::Six ? Eigen::Vector2d(0.56, 0.31) : Eigen::Vector2d(0.35, 0.25); }

// A box of edge lengths `size` along its own axes, turned by `turn` about the vertical from the tool's axes: as the
// scene's solid on `bottom`, centred over `at`.
arm_sim::Cuboid objectAt(const Eigen::Vector2d& at, const Eigen::Vector3d& size, double turn, double bottom) {
  const Eigen::Matrix3d axes = toolDown() * Eigen::AngleAxisd(turn, Eigen::Vector3d::UnitZ()).toRotationMatrix();
  return around(at, axes.cwiseAbs() * size, bottom);
}

// The tool pointing down at `tool` turned by `yaw`, the box of objectAt's `size` and `turn` described in the tool's
// frame.
Grab::Request grabWithToolAt(const Eigen::Vector3d& tool, const arm_sim::Cuboid& box, const Eigen::Vector3d& size,
                             double turn = 0.0, double yaw = 0.0) {
  const Eigen::Matrix3d tool_axes = toolDown(yaw);
  const Eigen::Vector3d centre = tool_axes.transpose() * ((box.min + box.max) / 2 - tool);
  const Eigen::Quaterniond pointing(tool_axes);
  const Eigen::Quaterniond turned(tool_axes.transpose() * toolDown() *
                                  Eigen::AngleAxisd(turn, Eigen::Vector3d::UnitZ()).toRotationMatrix());
  Grab::Request request;
  request.target_pose = {tool.x(), tool.y(), tool.z(), pointing.x(), pointing.y(), pointing.z(), pointing.w()};
  request.obb_pose = {centre.x(), centre.y(), centre.z(), turned.x(), turned.y(), turned.z(), turned.w()};
  request.obb_size = {size.x(), size.y(), size.z()};
  return request;
}

// The space over the box's footprint from `low` to `high`.
arm_sim::Cuboid underFootprint(const arm_sim::Cuboid& box, double low, double high) {
  return {{box.min.x(), box.min.y(), low}, {box.max.x(), box.max.y(), high}};
}

// The six-joint arm as the main job runs it, its tool the flange; the five-joint arm with grown links.
YAML::Node configFor(Arm arm) {
  YAML::Node config = nodeConfig(arm, false, settingsFor(arm));
  if (arm == Arm::Six) {
    config["grab_garbage_module"]["tool_matrix"]["data"] =
        std::vector<double>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  }
  return config;
}

// The tool pointing down straight over `at`, at the height that puts the bare arm's lowest point at `lowest`, and the
// joints that take it there; none when the arm does not get there.
struct ToolOver {
  Eigen::Vector3d tool;
  std::vector<double> joints;
};
std::optional<ToolOver> toolOver(NodeRig& rig, const Eigen::Vector2d& at, double lowest,
                                 const std::vector<double>& seed) {
  // The arm's lowest point depends on the turn about the tool axis the solver picks: settled in a few rounds.
  ToolOver over{Eigen::Vector3d(at.x(), at.y(), lowest + 0.1), seed};
  for (int round = 0; round < 3; ++round) {
    over.joints = jointsForTool(rig, over.tool, -Eigen::Vector3d::UnitZ(), over.joints);
    if (over.joints.empty()) return std::nullopt;
    over.tool.z() += lowest - lowestArmPoint(rig, over.joints, over.tool);
  }
  over.joints = jointsForTool(rig, over.tool, -Eigen::Vector3d::UnitZ(), over.joints);
  if (over.joints.empty()) return std::nullopt;
  return over;
}

// The node with its peers, on the arm at its home, and the commands as the tests send them.
struct Commands {
  explicit Commands(Arm arm) : home(homeOf(arm)), rig(configFor(arm), home), node(rig.node()) {}
  size_t legsPlayed() { return rig.controller().acceptedGoals().size(); }
  int32_t moveTo(const std::vector<double>& q) {
    return quietly([&] { return Access::moveJoints(node, jointRequest(q)); }).code;
  }
  // The tool pose at `q`, moved by `shift`.
  int32_t moveToolTo(const std::vector<double>& q, const Eigen::Vector3d& shift) {
    Eigen::Isometry3d tool = toolAt(rig, q);
    tool.translation() += shift;
    return quietly([&] { return Access::moveJoints(node, poseRequest(isometryToPose(tool.matrix()))); }).code;
  }
  int32_t grab(const Grab::Request& request) {
    return quietly([&] { return Access::grab(node, request); }).code;
  }
  int32_t releaseHome() {
    return quietly([&] { return Access::release(node, releaseTo(home)); }).code;
  }

  // Every leg played from `first` on: the bare arm no deeper than kPlayedDepth into any of the solids.
  void expectArmClearOf(const std::vector<arm_sim::Cuboid>& solids, size_t first = 0) {
    const auto legs = rig.controller().acceptedGoals();
    for (const arm_sim::Cuboid& solid : solids) {
      ArmReach reach(rig, solid, kPlayedDepth);
      for (size_t leg = first; leg < legs.size(); ++leg) {
        const arm_sim::JointPath path = arm_sim::pathOf(legs[leg]);
        if (reach.into(path)) {
          ADD_FAILURE() << "leg " << leg + 1 << " took the arm " << 1000 * deepestReach(rig, solid, path)
                        << " mm into the solid from " << solid.min.transpose() << " to " << solid.max.transpose();
        }
      }
    }
  }
  // Every leg played from `first` to `last`: the held box no deeper than kPlayedDepth into any of the solids.
  void expectBoxClearOf(const HeldBox& held, const std::vector<arm_sim::Cuboid>& solids, size_t first, size_t last) {
    const auto legs = rig.controller().acceptedGoals();
    for (size_t leg = first; leg < last && leg < legs.size(); ++leg) {
      double deepest = 0.0;
      for (const std::vector<double>& q : arm_sim::densePath(arm_sim::pathOf(legs[leg]))) {
        for (const arm_sim::Cuboid& solid : solids) deepest = std::max(deepest, held.depthInto(solid, q));
      }
      EXPECT_LT(deepest, kPlayedDepth) << "leg " << leg + 1 << " took the box " << 1000 * deepest << " mm deep";
    }
  }

  const std::vector<double> home;
  NodeRig rig;
  RosTwoWrapper& node;
};

// The arm with the tool lowered straight down from where it is at `from` by the least drop, in 5 mm steps, for which
// `wanted` holds; empty when none down to half a metre does.
template <typename Wanted>
std::vector<double> toolLowered(NodeRig& rig, const std::vector<double>& from, Wanted wanted) {
  const Eigen::Isometry3d tool = toolAt(rig, from);
  std::vector<double> q = from;
  for (int step = 1; step <= 100 && !q.empty(); ++step) {
    q = jointsForTool(rig, tool.translation() - Eigen::Vector3d(0, 0, 0.005 * step), tool.linear().col(2), q);
    if (!q.empty() && wanted(q)) return q;
  }
  return {};
}

enum class Camera { Live, Paused };
struct AfterRelease {
  Arm arm;
  Camera camera;
};

class ReleasedObjectPlace : public testing::TestWithParam<AfterRelease> {};

TEST_P(ReleasedObjectPlace, StaysClosedToTheBareGripperUntilACameraHasShownIt) {
  const auto [arm, camera] = GetParam();
  const Eigen::Vector2d at = placeOf(arm);
  const Eigen::Vector3d cube = Eigen::Vector3d::Constant(arm == Arm::Six ? 0.12 : 0.10);
  const arm_sim::Cuboid board = around(at, Eigen::Vector3d(0.30, 0.30, 0.02), 0.06);
  const Eigen::Vector3d flat(0.10, 0.08, 0.04);
  struct Stand {
    const char* name;
    std::vector<arm_sim::Cuboid> support;
    arm_sim::Cuboid box;
    Eigen::Vector3d size;
  };
  const Stand stands[] = {
      {"main job's table", {kTable, kPillar}, objectAt(at, cube, 0.0, kTable.max.z()), cube},
      {"2 cm shelf board", {kTable, board}, objectAt(at, flat, 0.0, board.max.z()), flat},
  };

  for (const Stand& stand : stands) {
    SCOPED_TRACE(stand.name);
    Commands commands(arm);
    NodeRig& rig = commands.rig;
    std::vector<arm_sim::Cuboid> solids = stand.support;
    solids.push_back(stand.box);
    ASSERT_TRUE(rig.showAfresh({solids}));
    // The gripper a centimetre over the box.
    const auto tool = toolOver(rig, at, stand.box.max.z() + 0.01, commands.home);
    ASSERT_TRUE(tool.has_value());
    ASSERT_EQ(commands.grab(grabWithToolAt(tool->tool, stand.box, stand.size)), 0);
    const std::vector<double> grasp = Access::currentJoints(commands.node);
    const HeldBox held(commands.node, grasp, stand.box);
    const size_t first_held_leg = commands.legsPlayed();

    // The bare gripper lowered from the grasp where the box stood: as low as it goes still clear above the place, and
    // the least drop that takes it kRefusedDepth below where the box's bottom was.
    ArmReach near_place(rig, underFootprint(stand.box, stand.box.min.z(), stand.box.min.z() + kClearAbove), 0.0);
    ArmReach into_place(rig, underFootprint(stand.box, stand.box.min.z() - 0.1, stand.box.min.z() - kRefusedDepth),
                        0.0);
    std::vector<double> above;
    const std::vector<double> sunk = toolLowered(rig, grasp, [&](const std::vector<double>& q) {
      if (!near_place.into({q})) above = q;
      return into_place.into({q});
    });
    ASSERT_FALSE(sunk.empty());
    ASSERT_FALSE(above.empty());

    const std::vector<double> lifted = nearGrasp(
        rig, grasp, [&](const std::vector<double>& q) { return held.lowestZ(q) > held.lowestZ(grasp) + 0.04; });
    ASSERT_FALSE(lifted.empty());
    EXPECT_EQ(commands.moveTo(lifted), 0);
    const arm_sim::Scene box_gone{stand.support};
    if (camera == Camera::Live) rig.showSceneEvery(box_gone, std::chrono::milliseconds(500));
    ASSERT_EQ(commands.releaseHome(), 0);
    const size_t released = commands.legsPlayed();

    // Right after the release, whether a camera cloud has come since or not.
    EXPECT_EQ(commands.moveTo(sunk), -21);
    EXPECT_EQ(commands.legsPlayed(), released);
    if (camera == Camera::Paused) {
      EXPECT_TRUE(surfaceOf(commands.node).has_value());
      EXPECT_EQ(freeWithAndWithoutSurface(commands.node, sunk), std::pair(false, true));
      ASSERT_TRUE(rig.showAfresh(box_gone));
    } else {
      ASSERT_TRUE(rig.waitForMapOf(box_gone));
    }
    // The map shows the place again: nothing is left of the surface but what the camera sees.
    EXPECT_FALSE(surfaceOf(commands.node).has_value());
    EXPECT_EQ(commands.moveTo(above), 0);
    EXPECT_EQ(commands.moveTo(sunk), -21);
    EXPECT_EQ(commands.moveTo(commands.home), 0);

    commands.expectArmClearOf(stand.support);
    commands.expectBoxClearOf(held, stand.support, first_held_leg, released);
  }
}

INSTANTIATE_TEST_SUITE_P(ArmsAndCamera, ReleasedObjectPlace,
                         testing::Values(AfterRelease{Arm::Six, Camera::Live}, AfterRelease{Arm::Six, Camera::Paused},
                                         AfterRelease{Arm::Five, Camera::Live},
                                         AfterRelease{Arm::Five, Camera::Paused}),
                         [](const testing::TestParamInfo<AfterRelease>& info) {
                           return std::string(armName(info.param.arm)) +
                                  (info.param.camera == Camera::Live ? "_camera_live" : "_camera_paused");
                         });

class GrabSupport : public testing::TestWithParam<Arm> {};

// A box on a post narrower than the box, the gripper hanging down beside the post, below the box's bottom.
TEST_P(GrabSupport, ABoxHeldFromTheSideOverANarrowPostIsKeptOutOfThePost) {
  const Arm arm = GetParam();
  struct SideHold {
    const char* name;
    Eigen::Vector3d size;
    double post_width;
    // The tool's horizontal offset from the box's centre and how far below the box's bottom the gripper reaches.
    // The tool's x axis points away from the box: what the arm carries on that side stays clear of it.
    Eigen::Vector2d beside;
    double below;
  };
  const SideHold holds[] = {
      {"12 x 12 x 5 cm box on a 5 cm post, held 12 cm towards the base", {0.12, 0.12, 0.05}, 0.05, {-0.12, 0.0},
       0.025},
      {"14 x 6 x 3 cm plank on a 3 cm post, held 10 cm beside its long side reaching 9 cm below it",
       {0.06, 0.14, 0.03}, 0.03, {0.10, 0.0}, 0.09},
  };
  for (const SideHold& hold : holds) {
    SCOPED_TRACE(hold.name);
    Commands commands(arm);
    NodeRig& rig = commands.rig;
    const Eigen::Vector2d at = placeOf(arm);
    const arm_sim::Cuboid post = around(at, Eigen::Vector3d(hold.post_width, hold.post_width, 0.15), kTable.max.z());
    const arm_sim::Cuboid box = around(at, hold.size, post.max.z());
    const std::vector<arm_sim::Cuboid> support{kTable, post};
    ASSERT_TRUE(rig.showAfresh({{kTable, post, box}}));

    const auto tool = toolOver(rig, at + hold.beside, box.min.z() - hold.below, commands.home);
    ASSERT_TRUE(tool.has_value());
    const double away = std::atan2(hold.beside.y(), hold.beside.x());
    ASSERT_EQ(commands.grab(grabWithToolAt(tool->tool, box, hold.size, 0.0, away)), 0);
    EXPECT_TRUE(surfaceOf(commands.node).has_value());
    const std::vector<double> grasp = Access::currentJoints(commands.node);
    const HeldBox held(commands.node, grasp, box);
    const size_t first_held_leg = commands.legsPlayed();

    const std::vector<double> into =
        nearGrasp(rig, grasp, [&](const std::vector<double>& q) { return held.depthInto(post, q) >= kRefusedDepth; });
    ASSERT_FALSE(into.empty());
    EXPECT_EQ(commands.moveTo(into), -21);
    // The six-joint arm's solver gives single pose solutions: the tool straight down.
    if (arm == Arm::Six) {
      for (double drop : {kRefusedDepth, 0.05}) EXPECT_EQ(commands.moveToolTo(grasp, {0, 0, -drop}), -24) << drop;
    }
    EXPECT_EQ(commands.legsPlayed(), first_held_leg);

    const std::vector<double> lifted = nearGrasp(
        rig, grasp, [&](const std::vector<double>& q) { return held.lowestZ(q) > held.lowestZ(grasp) + 0.04; });
    ASSERT_FALSE(lifted.empty());
    EXPECT_EQ(commands.moveTo(lifted), 0);
    if (arm == Arm::Six) {
      const std::vector<double> here = Access::currentJoints(commands.node);
      EXPECT_EQ(commands.moveToolTo(here, {0, 0, 0.03}), 0);
      EXPECT_EQ(commands.moveToolTo(Access::currentJoints(commands.node), {0.04, 0.04, 0}), 0);
    }
    // Let go over the post, where the box was carried.
    EXPECT_EQ(quietly([&] { return Access::release(commands.node, releaseTo(lifted)); }).code, 0);

    commands.expectArmClearOf(support);
    commands.expectBoxClearOf(held, support, first_held_leg, commands.legsPlayed());
  }
}

// Small objects on the table held with the tool pointing down: grasps whose gripper would go into the table are not
// played, those with the gripper a centimetre or more clear of it are. On the six-joint arm with its flange as the
// tool, the gripper's reach below the table's top stands for the tool 1 cm over the cube, 4 cm over the plate, and 6 cm
// and 9 cm over the cube.
TEST_P(GrabSupport, NoGraspIntoTheTableUnderASmallObjectIsPlayed) {
  const Arm arm = GetParam();
  struct Small {
    const char* name;
    Eigen::Vector2d at;
    Eigen::Vector3d size;
    double turn;
    // Where the gripper's lowest point would be, above the table's top.
    double reach;
  };
  const Eigen::Vector2d place = placeOf(arm);
  const Eigen::Vector2d mirrored(place.x(), -place.y());
  const Eigen::Vector3d cube = Eigen::Vector3d::Constant(0.04);
  const Eigen::Vector3d plate(0.10, 0.06, 0.006);
  const Small smalls[] = {
      {"4 cm cube, gripper 3 cm into the table", place, cube, 0.0, -0.03},
      {"6 mm plate turned a quarter, gripper 3.4 cm into the table", mirrored, plate, M_PI / 2, -0.034},
      {"4 cm cube, gripper 2 cm over the table", place, cube, 0.0, 0.02},
      {"4 cm cube turned half, gripper 5 cm over the table", mirrored, cube, M_PI, 0.05},
  };
  for (const Small& small : smalls) {
    SCOPED_TRACE(small.name);
    Commands commands(arm);
    const arm_sim::Cuboid object = objectAt(small.at, small.size, small.turn, kTable.max.z());
    ASSERT_TRUE(commands.rig.showAfresh({{kTable, kPillar, object}}));
    const auto tool = toolOver(commands.rig, small.at, kTable.max.z() + small.reach, commands.home);
    ASSERT_TRUE(tool.has_value());
    const int32_t code = commands.grab(grabWithToolAt(tool->tool, object, small.size, small.turn));
    if (small.reach >= kPlayedDepth) {
      EXPECT_EQ(code, 0);
    } else {
      // Refused, or held by another grasp that is clear.
      EXPECT_TRUE(code == 0 || code == -3) << code;
    }
    if (code != 0) {
      // A refused grab leaves no hole under the object: the bare gripper sent into the table there is refused too.
      const auto sunk = toolOver(commands.rig, small.at, kTable.max.z() - kRefusedDepth, commands.home);
      ASSERT_TRUE(sunk.has_value());
      const size_t played = commands.legsPlayed();
      EXPECT_EQ(commands.moveTo(sunk->joints), -21);
      EXPECT_EQ(commands.legsPlayed(), played);
    }
    commands.expectArmClearOf({kTable, kPillar});
  }
}

INSTANTIATE_TEST_SUITE_P(Arms, GrabSupport, testing::Values(Arm::Six, Arm::Five),
                         [](const testing::TestParamInfo<Arm>& info) { return std::string(armName(info.param)); });

}  // namespace
