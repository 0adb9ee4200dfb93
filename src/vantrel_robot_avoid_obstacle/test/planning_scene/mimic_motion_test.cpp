// The dense final check on rigs whose blade mimics the hub's joint, with multipliers above and below 1, negative and
// with offsets, the blade in the planning group or following it from outside, on the hub or on another branch, there
// also below a spread joint that the group may drive alone, bare and carrying a stick: motions valid at both ends but
// through a self-contact deeper than the check's resolution, or through an obstacle voxel on what the blade carries,
// as isStateValid sampled densely on a group driving every joint sees them, must all be refused; the planner facade
// answers no trajectory through the rig itself.
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "planning/joint_path.h"
#include "planning/path_plan_and_post_processing.h"
#include "robot_model/shapes/shapes.h"
#include "support/captured_output.h"
#include "support/config_space_scene.h"
#include "support/contact_motions.h"
#include "support/mimic_rigs.h"
#include "support/scene_fixtures.h"

namespace {

constexpr int kThroughMotions = 300;
constexpr int kDraws = 20000;
constexpr int kChordsThroughContact = 12;
// Motions of each kind also put to the facade, each on as many seeds.
constexpr int kFacadeMotions = 2;
constexpr std::uint32_t kFacadeSeeds = 3;
constexpr double kVoxel = 0.02;
constexpr double kStickWidth = 0.01;

struct MimicCase {
  std::string name;
  MimicRig rig;
  bool stick;
  double padding;
  unsigned seed;
};

void PrintTo(const MimicCase& c, std::ostream* out) { *out << c.name; }

// The blade's world turn is (1 + multiplier) times the hub's on the hub, its multiplier on the base; a sliding blade
// turns with the hub and slides the multiplier in metres per radian of it.
const std::vector<MimicCase>& mimicCases() {
  static const std::vector<MimicCase> cases{
      {"FastBladeOnHub", {5.0, 0.0, BladeMount::hub, true, false}, false, 0.0, 301},
      {"FastBladeOnHubHoldingStick", {5.0, 0.0, BladeMount::hub, true, false}, true, 0.01, 302},
      {"SlowBladeOnHubWithOffset", {0.4, 0.7, BladeMount::hub, true, false}, false, 0.01, 303},
      {"ReversedBladeOnHubOutsideGroup", {-3.0, 0.5, BladeMount::hub, false, false}, false, 0.0, 304},
      {"SlowReversedBladeOutsideGroupStickOnHub", {-0.6, 1.6, BladeMount::hub, false, false}, true, 0.01, 305},
      {"SlowBladeOnBase", {0.4, M_PI, BladeMount::base, true, false}, false, 0.0, 306},
      {"SlowBladeOnBaseReachedFromTheHub", {0.4, M_PI, BladeMount::base, true, false, "vane_turn"}, false, 0.01, 310},
      {"ReversedBladeOnBaseOutsideGroup", {-2.5, M_PI, BladeMount::base, false, false}, true, 0.01, 307},
      {"BladeBetweenHubAndWrist", {2.0, 0.3, BladeMount::hub, true, true}, false, 0.0, 308},
      {"ReversedBladeOutsideGroupBeforeWrist", {-0.7, 0.2, BladeMount::hub, false, true}, true, 0.01, 309},
      {"SlidingBladeOnHub", {0.15, -0.2, BladeMount::hub, true, false, "blade_turn", true}, false, 0.0, 311},
      {"ReversedSlidingBladeOutsideGroupHoldingStick",
       {-0.1, 0.05, BladeMount::hub, false, false, "blade_turn", true}, true, 0.01, 312},
      // Below a spread joint; "vane_spread" has the walk reach the blade from the hub's joint first. The hub's joint
      // out of the group stays at 0, the post with it, which the blade crosses as the spread joint turns it.
      {"SpreadAloneTurningBladeReachedFromTheHub",
       {-2.0, 0.3, BladeMount::spread, false, false, "blade_turn", false, "vane_spread", false}, false, 0.0, 313},
      {"SpreadAloneTurningBlade", {3.0, -0.5, BladeMount::spread, false, false, "blade_turn", false, "spread", false},
       false, 0.01, 314},
      {"SpreadAndBladeChainReachedFromTheHub",
       {0.4, 0.7, BladeMount::spread, true, false, "blade_turn", false, "vane_spread", false}, false, 0.01, 315},
      {"HubAloneTurningBladeBelowSpread",
       {-0.6, M_PI, BladeMount::spread, false, false, "blade_turn", false, "vane_spread", true, false}, false, 0.0, 316},
      {"HubAndSpreadReachedFromTheHub", {2.0, 0.3, BladeMount::spread, false, false, "blade_turn", false, "vane_spread"},
       false, 0.01, 317},
      {"ReversedBladeInGroupWithHubAndSpread",
       {-2.5, M_PI, BladeMount::spread, true, false, "blade_turn", false, "spread"}, false, 0.0, 318},
  };
  return cases;
}

// A stick of 1 cm section on `link`: from the hub, pointing away from the post at the blade's height, in the blade's
// way; from the blade or the paddle, lengthening it by 15 cm.
void holdStick(ManipulatorPlanScene& scene, const robot_model::core::LinkModel& link) {
  const bool on_hub = link.getName() == "hub_link";
  const double length = on_hub ? 0.3 : 0.15;
  const double link_length = link.getShapeExtentsAtOrigin().x();
  const Joints home(scene.getPlanningGroup()->getVariableCount(), 0.0);
  robot_model::core::RobotState& state = *scene.getRobotState();
  state.setJointGroupPositions(scene.getPlanningGroup(), home);
  state.updateLinkTransforms();
  const Eigen::Vector3d centre = on_hub ? Eigen::Vector3d(-0.05 - 0.5 * length, 0.0, 0.1)
                                        : Eigen::Vector3d(link_length + 0.5 * length, 0.0, 0.0);
  const Eigen::Isometry3d pose = state.getGlobalLinkTransform(&link) * Eigen::Translation3d(centre);
  ASSERT_TRUE(scene.attachBox("grab_object", link, {length, kStickWidth, kStickWidth}, 1.0, 0.0, home.data(), pose));
}

// A point of a body the blade's joint carries, as the scene's state places it.
Eigen::Vector3d pointOnBlade(ManipulatorPlanScene& scene, const std::string& blade_joint, std::mt19937& rng) {
  const robot_model::core::RobotState& state = *scene.getRobotState();
  const robot_model::core::JointModel* blade = scene.getRobotModel()->getJointModel(blade_joint);
  struct Body {
    Eigen::Isometry3d pose;
    Eigen::Vector3d size;
  };
  std::vector<Body> bodies;
  for (const robot_model::core::LinkModel* link : blade->getDescendantLinkModels()) {
    bodies.push_back({state.getGlobalLinkTransform(link) * Eigen::Translation3d(link->getCenteredBoundingBoxOffset()),
                      link->getShapeExtentsAtOrigin()});
  }
  for (const auto& entry : state.getAttachedBodies()) {
    const robot_model::core::AttachedBody& body = *entry.second;
    if (body.parent_link_->getName() == "hub_link") continue;
    const auto& box = static_cast<const shapes::Box&>(*body.shapes_[0]);
    bodies.push_back({body.global_shape_poses_[0], Eigen::Vector3d(box.size[0], box.size[1], box.size[2])});
  }
  const Body& body = bodies[std::uniform_int_distribution<std::size_t>(0, bodies.size() - 1)(rng)];
  Eigen::Vector3d local;
  for (int axis = 0; axis < 3; ++axis) {
    local[axis] = std::uniform_real_distribution<double>(-0.5, 0.5)(rng) * body.size[axis];
  }
  return body.pose * local;
}

struct Tally {
  int through = 0;
  std::vector<std::string> accepted;
  int facade_motions = 0;
  int facade_answers = 0;
  std::vector<std::string> facade_through;
};

// Whether the tested group's check accepts the motion, given on the judge's variables.
bool acceptedFinely(JudgedMimicRig& rig, const Motion& motion) {
  return rig.tested->checkMotionFinely(rig.testedValues(motion.from).data(), rig.testedValues(motion.to).data());
}

// The first few motions the coarse motion check accepts (the facade plans around the others at once) go to the
// facade on several seeds: no trajectory it answers may hold a segment that `refuses` on the judge's variables.
template <typename Refuses>
void putToFacade(JudgedMimicRig& rig, const Motion& motion, const Refuses& refuses, Tally& tally) {
  const Joints from = rig.testedValues(motion.from);
  const Joints to = rig.testedValues(motion.to);
  if (tally.facade_motions == kFacadeMotions || !rig.tested->checkMotion(from.data(), to.data())) return;
  ++tally.facade_motions;
  for (std::uint32_t seed = 1; seed <= kFacadeSeeds; ++seed) {
    PathPlanAndPostProcessing pipeline(rig.tested.get(), {seededSource(seed), steppingClock()});
    std::vector<TrajectoryPoint> points;
    if (pipeline.pathPlanAndSimplifySimulation(from, to, points) != 0) continue;
    ++tally.facade_answers;
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
      if (refuses(rig.judgedValues(points[i].positions), rig.judgedValues(points[i + 1].positions))) {
        tally.facade_through.push_back(motionText(motion) + " seed " + std::to_string(seed));
      }
    }
  }
}

// Motions through a self-contact deeper than the check's resolution, found as for the arms.
Tally selfContactMotions(JudgedMimicRig& rig, std::mt19937& rng) {
  ManipulatorPlanScene& scene = *rig.judge;
  const JointBounds& bounds = rig.bounds;
  PenetrationDepth depth(scene);
  const auto holds_contact = [&](const Joints& from, const Joints& to) {
    return holdsDeepContact(scene, depth, from, to);
  };
  Tally tally;
  for (int draws = 0; tally.through < kThroughMotions && draws < kDraws; ++draws) {
    const Joints start = drawState(bounds, draws % 10 == 0, rng);
    const Joints deep = drawState(bounds, false, rng);
    if (!scene.isStateValid(start.data()) || scene.isStateValid(deep.data())) continue;
    const Joints contact = shallowContact(scene, start, deep);
    for (int chords = 0; chords < kChordsThroughContact && tally.through < kThroughMotions; ++chords) {
      const Joints direction = rig.judgedDirection(drawDirection(rig.slots.size(), chords, rng));
      std::optional<Motion> motion = motionThrough(scene, bounds, contact, direction);
      if (!motion) continue;
      // Every other motion starts and ends farther out, where the walk takes long steps towards the contact.
      if (chords % 2 != 0) {
        const Motion wider{along(motion->from, direction, -std::uniform_int_distribution<int>(0, 400)(rng)),
                           along(motion->to, direction, std::uniform_int_distribution<int>(0, 400)(rng))};
        if (!withinBounds(wider.from, bounds) || !withinBounds(wider.to, bounds) ||
            !scene.isStateValid(wider.from.data()) || !scene.isStateValid(wider.to.data())) {
          continue;
        }
        motion = wider;
      }
      if (!holds_contact(motion->from, motion->to)) continue;
      ++tally.through;
      if (acceptedFinely(rig, *motion)) tally.accepted.push_back(motionText(*motion));
      putToFacade(rig, *motion, holds_contact, tally);
    }
  }
  return tally;
}

// Motions valid at both ends that put a point of what the blade carries into an obstacle voxel on the way.
Tally obstacleMotions(JudgedMimicRig& rig, const std::string& blade_joint, std::mt19937& rng) {
  ManipulatorPlanScene& scene = *rig.judge;
  const JointBounds& bounds = rig.bounds;
  const auto refused_on_the_way = [&scene](const Joints& from, const Joints& to) {
    return !validEverywhere(scene, from, to);
  };
  auto tree = makeOctree(kVoxel);
  Tally tally;
  for (int draws = 0; tally.through < kThroughMotions && draws < kDraws; ++draws) {
    const Joints from = drawState(bounds, draws % 10 == 0, rng);
    const Joints to = along(from, rig.judgedDirection(drawDirection(rig.slots.size(), draws, rng)),
                            std::uniform_int_distribution<int>(100, 3000)(rng) * (rng() % 2 == 0 ? 1 : -1));
    if (!withinBounds(to, bounds)) continue;
    const Joints between = interpolateWaypoints(from, to, std::uniform_real_distribution<double>(0.2, 0.8)(rng));
    robot_model::core::RobotState& state = *scene.getRobotState();
    state.setJointGroupPositions(scene.getPlanningGroup(), between);
    state.updateCollisionBodyTransforms();
    const Eigen::Vector3d point = pointOnBlade(scene, blade_joint, rng);
    tree->clear();
    fillPoint(*tree, point);
    scene.updateWorldOctomap(tree);
    rig.tested->updateWorldOctomap(tree);
    if (!scene.isStateValid(from.data()) || !scene.isStateValid(to.data())) continue;
    EXPECT_FALSE(scene.isStateValid(between.data())) << "the voxel holds a point of the blade's bodies";
    ++tally.through;
    const Motion motion{from, to};
    if (acceptedFinely(rig, motion)) tally.accepted.push_back(motionText(motion));
    putToFacade(rig, motion, refused_on_the_way, tally);
  }
  return tally;
}

using MimicMotionCheck = testing::TestWithParam<MimicCase>;

TEST_P(MimicMotionCheck, RefusesEveryMotionThroughAContactOrAnObstacle) {
  const MimicCase& c = GetParam();
  JudgedMimicRig rig;
  capturedOutput([&] {
    rig = makeJudgedMimicRig(c.rig, c.padding);
    if (!c.stick) return;
    const std::string& tool = toolLink(*rig.tested)->getName();
    for (ManipulatorPlanScene* scene : {rig.tested.get(), rig.judge.get()}) {
      holdStick(*scene, *scene->getRobotModel()->getLinkModel(tool));
    }
  });
  ASSERT_TRUE(rig.tested->hasPlanningGroup() && rig.judge->hasPlanningGroup());
  std::mt19937 rng(c.seed);
  Tally self, world;
  capturedOutput([&] {
    self = selfContactMotions(rig, rng);
    world = obstacleMotions(rig, c.rig.blade_joint, rng);
  });
  const struct {
    const char* kind;
    const char* through;
    const Tally& tally;
  } parts[] = {{"contact", "through a self-contact", self}, {"obstacle", "through an obstacle", world}};
  for (const auto& part : parts) {
    RecordProperty(std::string("through_") + part.kind, part.tally.through);
    RecordProperty(std::string("facade_motions_through_") + part.kind, part.tally.facade_motions);
    RecordProperty(std::string("facade_answers_through_") + part.kind, part.tally.facade_answers);
    EXPECT_EQ(part.tally.through, kThroughMotions) << part.through;
    EXPECT_TRUE(part.tally.accepted.empty()) << part.tally.accepted.size() << " of " << part.tally.through << " "
                                             << part.through << " accepted, the first " << part.tally.accepted.front();
    EXPECT_TRUE(part.tally.facade_through.empty()) << part.tally.facade_through.size() << " answered " << part.through
                                                   << ", the first " << part.tally.facade_through.front();
  }
  // The world's objects say when they go.
  capturedOutput([&] {
    rig.tested.reset();
    rig.judge.reset();
  });
}

INSTANTIATE_TEST_SUITE_P(MimicRigs, MimicMotionCheck, testing::ValuesIn(mimicCases()),
                         [](const testing::TestParamInfo<MimicCase>& info) { return info.param.name; });

}  // namespace
