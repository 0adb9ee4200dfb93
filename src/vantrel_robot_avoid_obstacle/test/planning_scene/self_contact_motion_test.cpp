// The dense final check against the robot itself, in a world without obstacles: short motions of the arm, bare and
// carrying long sticks, valid at both ends but through a self-contact in between as isStateValid sampled every
// 0.0005 rad sees it, deeper than the check's resolution, must all be refused; motions leaving such a contact, valid
// at every sample, accepted. Through the planner facade, no trajectory through the arm itself is answered. A
// telescoping arm sweeping its sliding rod through a post on its base is refused too.
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "planning/path_plan_and_post_processing.h"
#include "support/arms_and_sticks.h"
#include "support/captured_output.h"
#include "support/config_space_scene.h"
#include "support/contact_motions.h"
#include "support/scene_fixtures.h"

namespace {

constexpr double kPadding = 0.01;
constexpr int kThroughMotions = 300;
constexpr int kDraws = 10000;
// Directions tried through each contact.
constexpr int kChordsThroughContact = 12;

using SelfContactCheck = testing::TestWithParam<ArmAndStick>;

// Between a valid state and one in self-contact, a contact as shallow as the sampling finds; through it, straight
// to the nearest valid states either way: the motion between them holds a self-contact, and both its ends lie at the
// boundary of a refused stretch, where the check has the least clearance to go by. Going on away from the contact
// from either end, a motion valid at every sample starts as near to a contact as the sampling tells.
TEST_P(SelfContactCheck, RefusesEveryMotionThroughAContactAndAcceptsThoseLeavingOne) {
  const ArmAndStick& c = GetParam();
  std::unique_ptr<ManipulatorPlanScene> scene = makeArmScene(c, kPadding);
  const JointBounds bounds = jointBounds(*scene);
  std::mt19937 rng(c.seed);
  if (c.stick_length > 0.0) {
    capturedOutput([&] { scene->getRobotState()->attachBody(stick(*scene, c.stick_length, c.across)); });
  }

  PenetrationDepth depth(*scene);
  int through = 0, leaving = 0, draws = 0;
  std::vector<std::string> accepted, refused;
  capturedOutput([&] {
    for (; through < kThroughMotions && draws < kDraws; ++draws) {
      const Joints start = drawState(bounds, draws % 10 == 0, rng);
      const Joints deep = drawState(bounds, false, rng);
      if (!scene->isStateValid(start.data()) || scene->isStateValid(deep.data())) continue;
      const Joints contact = shallowContact(*scene, start, deep);
      for (int chords = 0; chords < kChordsThroughContact && through < kThroughMotions; ++chords) {
        const Joints direction = drawDirection(start.size(), chords, rng);
        const std::optional<Motion> motion = motionThrough(*scene, bounds, contact, direction);
        if (!motion || !holdsDeepContact(*scene, depth, motion->from, motion->to)) continue;
        ++through;
        if (scene->checkMotionFinely(motion->from.data(), motion->to.data())) accepted.push_back(motionText(*motion));
        // Every third motion, the way out of the contact from one of its ends.
        if (through % 3 != 0) continue;
        const bool forwards = rng() % 2 == 0;
        const Motion out{forwards ? motion->to : motion->from,
                         along(forwards ? motion->to : motion->from, direction,
                               (forwards ? 1 : -1) * std::uniform_int_distribution<int>(20, 200)(rng))};
        if (!withinBounds(out.to, bounds) || !validEverywhere(*scene, out.from, out.to)) continue;
        ++leaving;
        // Sliding past each other, bodies may touch between the samples: such a motion may be refused.
        if (!scene->checkMotionFinely(out.from.data(), out.to.data()) &&
            validEverywhere(*scene, out.from, out.to, kJudgeStep / 50)) {
          refused.push_back(motionText(out));
        }
      }
    }
  });
  RecordProperty("through_contact", through);
  RecordProperty("leaving_contact", leaving);
  // Bulky links meet in contacts too deep for short motions to cross: those arms are tried on as many as the
  // draws find.
  EXPECT_GT(through, kThroughMotions / 10) << "after " << draws << " draws";
  EXPECT_GT(leaving, 0);
  EXPECT_TRUE(accepted.empty()) << accepted.size() << " of " << through << " accepted, the first "
                                << accepted.front();
  EXPECT_TRUE(refused.empty()) << refused.size() << " of " << leaving << " refused, the first " << refused.front();
}

INSTANTIATE_TEST_SUITE_P(ArmsAndSticks, SelfContactCheck, testing::ValuesIn(armsAndSticks(101)),
                         [](const testing::TestParamInfo<ArmAndStick>& info) { return info.param.name; });

// A joint goal whose straight motion drives the gripper through the base for some 7% of the way while the motion
// check's states all miss it: every trajectory answered 0 goes round, valid at every sample.
TEST(SelfContactThroughTheFacade, AnswersNoTrajectoryThroughTheArmItself) {
  const std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene(kPadding);
  const Joints start{-1.84747, -2.03004, -0.49444, 3.04423, 1.56926, 3.07778};
  const Joints goal{-1.13631, -2.1, -0.49444, 3.04423, 1.69470, 3.07778};
  bool ends_valid = false, straight_valid = true, motion_checked = false, finely_checked = true;
  capturedOutput([&] {
    ends_valid = scene->isStateValid(start.data()) && scene->isStateValid(goal.data());
    straight_valid = validEverywhere(*scene, start, goal);
    motion_checked = scene->checkMotion(start.data(), goal.data());
    finely_checked = scene->checkMotionFinely(start.data(), goal.data());
  });
  ASSERT_TRUE(ends_valid);
  ASSERT_FALSE(straight_valid);
  EXPECT_TRUE(motion_checked) << "the motion check tests no state in the contact";
  EXPECT_FALSE(finely_checked);
  for (std::uint32_t seed = 1; seed <= 5; ++seed) {
    PathPlanAndPostProcessing pipeline(scene.get(), {seededSource(seed), steppingClock()});
    std::vector<TrajectoryPoint> points;
    int code = 0;
    int refused_segments = 0;
    capturedOutput([&] {
      code = pipeline.pathPlanAndSimplifySimulation(start, goal, points);
      for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        refused_segments += validEverywhere(*scene, points[i].positions, points[i + 1].positions) ? 0 : 1;
      }
    });
    EXPECT_EQ(code, 0) << "seed " << seed;
    EXPECT_EQ(refused_segments, 0) << "seed " << seed << ", " << points.size() << " points";
  }
}

// Link4 stays some 2 micrometres from link2 along a long motion: the walk steps as that pair allows, not as the
// fastest-closing pair of the whole arm would at that distance (98,643 states bare, 153,858 with a 1 m stick).
TEST(SelfContactNearMiss, APairStayingNearHoldsUpTheWalkOnlyAsFastAsItCloses) {
  const NearContactMotion motion = arm6NearContactMotion();
  for (const double stick_length : {0.0, 1.0}) {
    const std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene(kPadding);
    bool accepted = false;
    capturedOutput([&] {
      if (stick_length > 0.0) scene->getRobotState()->attachBody(stick(*scene, stick_length, false));
      accepted = scene->checkMotionFinely(motion.from.data(), motion.to.data());
    });
    EXPECT_TRUE(accepted) << "stick " << stick_length;
    EXPECT_LT(scene->selfWalkStates(), 10000u) << "stick " << stick_length;
  }
}

// A wheel of 2 m radius turns 10 micrometres from a post: the steps the rim allows are so short that proving a whole
// turn would take more states than the check may spend; it is refused when they run out, a short turn proven.
TEST(SelfContactNearMiss, AMotionTooLongToProveIsRefusedWhenTheStatesRunOut) {
  ManipulatorPlanScene scene(testRigDirectory(), "wheel_rig.urdf", "wheel_rig.srdf", "arm", 0.0, 1.0);
  const Joints from{-6.28};
  const Joints whole_turn{6.28};
  const Joints short_turn{-6.18};
  bool ends_valid = false, whole_accepted = true, short_accepted = false;
  std::size_t whole_states = 0;
  const std::string output = capturedOutput([&] {
    ends_valid = scene.isStateValid(from.data()) && scene.isStateValid(whole_turn.data());
    whole_accepted = scene.checkMotionFinely(from.data(), whole_turn.data());
    whole_states = scene.selfWalkStates();
    short_accepted = scene.checkMotionFinely(from.data(), short_turn.data());
  });
  ASSERT_TRUE(ends_valid);
  EXPECT_FALSE(whole_accepted);
  EXPECT_EQ(whole_states, static_cast<std::size_t>(ManipulatorPlanScene::kMaxMotionSegments) + 1);
  EXPECT_NE(output.find("cannot be tested against the robot itself"), std::string::npos) << output;
  EXPECT_TRUE(short_accepted);
}

// The telescoping rig, bare or holding a stick that lengthens the rod.
struct TelescopeCase {
  std::string name;
  double stick_length;  // 0: bare
  unsigned seed;
};

// The rig's parts are 1 cm thick and reach at most 1.2 m from the hub's axis: judged 2 mm apart at most.
constexpr double kTelescopeJudgeStep = 0.002;
constexpr int kSweeps = 60;

// The rig's rod, from its link's origin along x.
constexpr double kRodLength = 0.1;

// A stick of 1 cm section held at the rod's end, along it; false when it cannot be attached.
bool holdStickAtRodEnd(ManipulatorPlanScene& scene, double length) {
  const Joints home(2, 0.0);
  const Eigen::Vector3d rod_end = linkPosition(scene, home, "rod_link") + Eigen::Vector3d(kRodLength, 0.0, 0.0);
  const Eigen::Isometry3d pose(Eigen::Translation3d(rod_end + Eigen::Vector3d(0.5 * length, 0.0, 0.0)));
  return scene.attachBox("grab_object", *scene.getRobotModel()->getLinkModel("rod_link"), {length, 0.01, 0.01}, 1.0,
                         0.0, home.data(), pose);
}

// From the hub turned back by most of a turn with the rod drawn in, to the hub just past the post with the rod out
// (every other sweep the other way round): the rod sweeps round at the post's distance late in the turn. Every
// fourth sweep starts at the turn's lower limit with the rod fully in.
Motion sweepPastThePost(int sweep, std::mt19937& rng) {
  const auto draw = [&rng](double low, double high) { return std::uniform_real_distribution<double>(low, high)(rng); };
  const bool limits = sweep % 4 == 0;
  Motion motion{{limits ? -6.28 : draw(-6.28, -3.0), limits ? 0.0 : draw(0.0, 0.3)},
                {draw(0.02, 0.5), draw(0.8, 1.0)}};
  if (sweep % 2 != 0) std::swap(motion.from, motion.to);
  return motion;
}

void PrintTo(const TelescopeCase& c, std::ostream* out) { *out << c.name; }

using TelescopingArmCheck = testing::TestWithParam<TelescopeCase>;

// The rod's distance from the hub's axis grows by its whole slide while the hub turns: long sweeps through the post,
// valid at both ends, must all be refused.
TEST_P(TelescopingArmCheck, RefusesEverySweepThroughThePost) {
  const TelescopeCase& c = GetParam();
  std::unique_ptr<ManipulatorPlanScene> scene = makeTelescopeRigScene(kPadding);
  bool holding = false;
  if (c.stick_length > 0.0) capturedOutput([&] { holding = holdStickAtRodEnd(*scene, c.stick_length); });
  ASSERT_EQ(holding, c.stick_length > 0.0);
  std::mt19937 rng(c.seed);
  PenetrationDepth depth(*scene);
  int through = 0;
  std::vector<std::string> accepted;
  capturedOutput([&] {
    for (int sweep = 0; sweep < kSweeps; ++sweep) {
      const Motion motion = sweepPastThePost(sweep, rng);
      if (!scene->isStateValid(motion.from.data()) || !scene->isStateValid(motion.to.data()) ||
          !holdsDeepContact(*scene, depth, motion.from, motion.to, kTelescopeJudgeStep)) {
        continue;
      }
      ++through;
      if (scene->checkMotionFinely(motion.from.data(), motion.to.data())) accepted.push_back(motionText(motion));
    }
  });
  RecordProperty("through_contact", through);
  EXPECT_GT(through, kSweeps / 4);
  EXPECT_TRUE(accepted.empty()) << accepted.size() << " of " << through << " accepted, the first "
                                << accepted.front();
}

INSTANTIATE_TEST_SUITE_P(Telescope, TelescopingArmCheck,
                         testing::Values(TelescopeCase{"Bare", 0.0, 201}, TelescopeCase{"HoldingStick", 0.1, 202}),
                         [](const testing::TestParamInfo<TelescopeCase>& info) { return info.param.name; });

}  // namespace
