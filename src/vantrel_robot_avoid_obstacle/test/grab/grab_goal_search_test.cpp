// The choice of a grab configuration, on a fake solver that spells out each pose it is asked.
#include <gtest/gtest.h>

#include <optional>

#include "fake_grab_scene.h"
#include "grab/grab_geometry.h"
#include "grab/grab_goal_search.h"
#include "grab/grab_manager.h"

namespace {

using Solutions = std::vector<std::vector<double>>;

TEST(GrabGoalSelection, LeastShoulderAndElbowThenBaseThenWristWithinTolerance) {
  testing::internal::CaptureStdout();
  std::vector<double> goal = {9.0};
  for (const Solutions& refused : {Solutions{}, Solutions{{0.1, 0.2, 0.3}}, Solutions{{0, 0, 0, 0, 0, 0}, {0, 0, 0}}}) {
    EXPECT_EQ(selectSuitableOne(refused, goal), -2);
  }
  EXPECT_EQ(goal, std::vector<double>{9.0});
  struct Case {
    Solutions solutions;
    size_t chosen;
  };
  const Case cases[] = {
      {{{3.0, 3.0, 3.0, 3.0}}, 0},
      // Shoulder plus elbow decides alone; signs do not count.
      {{{0, 1.0, 1.0, 0, 0, 0}, {2.0, -0.5, 0.4, 2.0, 0, 0}}, 1},
      // Within 0.01 on shoulder plus elbow: the base turn decides; then, for six joints, the wrist.
      {{{0.5, 1.0, 1.0, 0, 0, 0}, {-0.2, 1.005, 1.0, 0.3, 0, 0}}, 1},
      // Equal wrist turns: the earlier.
      {{{0.5, 1.0, 1.0, 0.9, 0, 0}, {-0.505, 1.0, 1.0, -0.2, 0, 0}, {0.5, 1.0, 1.0, 0.2, 1, 0}}, 1},
      // Five joints: no wrist criterion, the first of the tied.
      {{{0.5, 1.0, 1.0, 0.9, 0}, {-0.5, 1.0, 1.0, 0.1, 0}}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(selectSuitableOne(c.solutions, goal), 0);
    EXPECT_EQ(goal, c.solutions[c.chosen]);
  }
  testing::internal::GetCapturedStdout();
}

TEST(GrabGoalSearch, TargetFirstThenTurnsInOrderFromTheRightStart) {
  const Eigen::Matrix3d oblique = Eigen::AngleAxisd(2.4, Eigen::Vector3d(1, 1, 0).normalized()).toRotationMatrix();
  const Eigen::Matrix4d target = makePose(oblique, {0.3, 0.4, 0.2});
  // Not elongated, the turns start from the tool pointing down with x away from the base axis.
  Eigen::Matrix3d down;
  down << 0.6, 0.8, 0, 0.8, -0.6, 0, 0, 0, -1;
  const Eigen::Matrix4d sideways =
      makePose(Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitY()).toRotationMatrix(), {-0.5, 0.0, 0.3});
  const Eigen::Matrix4d on_base_axis = makePose(Eigen::Vector3d(1, -1, -1).asDiagonal(), {0.0, 0.0, 0.6});
  struct Case {
    const char* what;
    Eigen::Matrix4d target;
    bool elongated;
    std::optional<Eigen::Matrix4d> accepted;  // the one pose the solver answers; none: it answers none
    int code;
    size_t asked;
  };
  const Case cases[] = {
      {"the target itself", target, false, target, 0, 1},
      {"never unturned, -3 steps the 13th", target, false,
       rotatePoseAboutRadialNormal(makePose(down, {0.3, 0.4, 0.2}), -3 * kGrabTurnStep), 0, 13},
      {"elongated: from the target", target, true, rotatePoseAboutRadialNormal(target, 9 * kGrabTurnStep), 0, 10},
      {"horizontal: from the target", sideways, false, rotatePoseAboutRadialNormal(sideways, -kGrabTurnStep), 0, 11},
      {"exhausted", target, true, std::nullopt, -1, 19},
      {"on the base axis no direction to point x away from", on_base_axis, false, std::nullopt, -1, 1},
  };
  for (const Case& c : cases) {
    FakeKinematics kinematics;
    kinematics.solve_ = [&c](const Eigen::Matrix4d& pose) {
      const bool accepted = c.accepted && pose.isApprox(*c.accepted, 1e-9);
      return accepted ? Solutions{FakeKinematics::spelledOut(pose)} : Solutions{};
    };
    auto scene = std::make_unique<FakeGrabScene>();
    scene->kinematics_ = &kinematics;
    GrabManager manager(std::move(scene), Eigen::Matrix4d::Identity());
    Solutions results;
    Eigen::Matrix4d pose;
    testing::internal::CaptureStdout();
    EXPECT_EQ(generateMoveGoals(manager, c.target, Eigen::Matrix4d::Identity(), c.elongated, results, pose), c.code)
        << c.what;
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(kinematics.asked_.size(), c.asked) << c.what;
    EXPECT_TRUE(c.code != 0 || pose.isApprox(*c.accepted, 1e-12)) << c.what;
  }
}

}  // namespace
