// Checking a grab request and choosing its grab configuration, on a fake solver that spells out each pose it
// is asked for.
#include <cmath>
#include <limits>
#include <memory>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "../grab/fake_grab_scene.h"
#include "grab/grab_geometry.h"
#include "grab/grab_manager.h"
#include "node/ros_two_wrapper_grab_goal.h"

namespace {

using Solutions = std::vector<std::vector<double>>;
constexpr double kStep = 0.08726646259971647;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(GrabRequest, BadBoxesPosesAndQuaternionsAreRefusedNearUnitQuaternionsNormalised) {
  const Pose7 good = {0.4, 0.1, 0.2, 0.0, 1.0, 0.0, 0.0};
  const std::array<double, 3> box = {0.05, 0.05, 0.1};
  struct Case {
    const char* what;
    Pose7 target;
    std::array<double, 3> size;
  };
  for (const Case& bad : std::vector<Case>{{"zero edge", good, {0.05, 0.0, 0.1}},
                                           {"negative edge", good, {0.05, -0.05, 0.1}},
                                           {"NaN edge", good, {kNaN, 0.05, 0.1}},
                                           {"infinite edge", good, {0.05, 0.05, kInf}},
                                           {"NaN position", {kNaN, 0.1, 0.2, 0.0, 1.0, 0.0, 0.0}, box},
                                           {"infinite quaternion", {0.4, 0.1, 0.2, 0.0, kInf, 0.0, 0.0}, box},
                                           {"zero quaternion", {0.4, 0.1, 0.2, 0.0, 0.0, 0.0, 0.0}, box},
                                           {"norm 1.002", {0.4, 0.1, 0.2, 0.0, 1.002, 0.0, 0.0}, box},
                                           {"norm 0.998", {0.4, 0.1, 0.2, 0.0, 0.0, 0.0, 0.998}, box}}) {
    Pose7 target = bad.target;
    Pose7 obb = {0, 0, 0, 0, 0, 0, 1};
    EXPECT_FALSE(normaliseGrabRequest(target, obb, bad.size)) << bad.what;
    Pose7 swapped = good;
    obb = bad.target;
    EXPECT_FALSE(normaliseGrabRequest(swapped, obb, bad.size)) << bad.what << " as the box pose";
  }

  Pose7 target = {0.4, 0.1, 0.2, 0.0, 0.6006, 0.0, 0.8008};  // norm 1.001
  Pose7 obb = {0.0, 0.0, 0.05, 0.0, 0.0, 0.0, 0.9995};
  ASSERT_TRUE(normaliseGrabRequest(target, obb, box));
  EXPECT_NEAR(target[4], 0.6, 1e-12);
  EXPECT_NEAR(target[6], 0.8, 1e-12);
  EXPECT_EQ(target[0], 0.4);
  EXPECT_NEAR(obb[6], 1.0, 1e-12);
}

TEST(GrabRequest, OnlyClearlyLongBoxesOfGraspableSizeAreElongated) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(isElongatedBox({0.2, 0.05, 0.08}));
  EXPECT_FALSE(isElongatedBox({0.1, 0.1, 0.1}));     // cube
  EXPECT_FALSE(isElongatedBox({0.2, 0.03, 0.08}));   // too thin to hold by its length
  EXPECT_FALSE(isElongatedBox({0.1, 0.04, 0.05}));   // too short
  EXPECT_FALSE(isElongatedBox({0.2, 0.05, 0.195}));  // two long edges
  EXPECT_FALSE(isElongatedBox({0.2, 0.15, 0.19}));   // not slender
  EXPECT_FALSE(isElongatedBox({0.0, 0.0, 0.0}));
  testing::internal::GetCapturedStdout();
}

TEST(GrabGoalSelection, LeastShoulderAndElbowThenBaseThenWristWithinTolerance) {
  testing::internal::CaptureStdout();
  std::vector<double> goal = {9.0};
  EXPECT_EQ(selectSuitableOne({}, goal), -2);
  EXPECT_EQ(selectSuitableOne({{0.1, 0.2, 0.3}}, goal), -2);
  EXPECT_EQ(selectSuitableOne({{0, 0, 0, 0, 0, 0}, {0, 0, 0}}, goal), -2);
  EXPECT_EQ(goal, std::vector<double>{9.0});

  EXPECT_EQ(selectSuitableOne({{3.0, 3.0, 3.0, 3.0}}, goal), 0);
  EXPECT_EQ(goal, (std::vector<double>{3.0, 3.0, 3.0, 3.0}));
  // Shoulder plus elbow decides alone; signs do not count.
  EXPECT_EQ(selectSuitableOne({{0, 1.0, 1.0, 0, 0, 0}, {2.0, -0.5, 0.4, 2.0, 0, 0}}, goal), 0);
  EXPECT_EQ(goal[0], 2.0);
  // Within 0.01 on shoulder plus elbow: the base turn decides; then, for six joints, the wrist.
  EXPECT_EQ(selectSuitableOne({{0.5, 1.0, 1.0, 0, 0, 0}, {-0.2, 1.005, 1.0, 0.3, 0, 0}}, goal), 0);
  EXPECT_EQ(goal[0], -0.2);
  const Solutions wrist = {{0.5, 1.0, 1.0, 0.9, 0, 0}, {-0.505, 1.0, 1.0, -0.2, 0, 0}, {0.5, 1.0, 1.0, 0.2, 1, 0}};
  EXPECT_EQ(selectSuitableOne(wrist, goal), 0);
  EXPECT_EQ(goal, wrist[1]);  // equal wrist turns: the earlier
  // Five joints: no wrist criterion, the first of the tied.
  EXPECT_EQ(selectSuitableOne({{0.5, 1.0, 1.0, 0.9, 0}, {-0.5, 1.0, 1.0, 0.1, 0}}, goal), 0);
  EXPECT_EQ(goal[3], 0.9);
  testing::internal::GetCapturedStdout();
}

// A manager on a fake scene; with the identity tool matrix each pose asked of the solver is a candidate.
struct Search {
  Search() {
    auto scene = std::make_unique<FakeGrabScene>();
    scene->kinematics_ = &kinematics;
    manager = std::make_unique<GrabManager>(std::move(scene), Eigen::Matrix4d::Identity());
  }
  // Accepts only a pose whose approach axis matches `accepted`.
  void acceptOnly(const Eigen::Matrix4d& accepted) {
    kinematics.solve_ = [accepted](const Eigen::Matrix4d& pose) {
      return pose.isApprox(accepted, 1e-9) ? Solutions{FakeKinematics::spelledOut(pose)} : Solutions{};
    };
  }
  int run(const Eigen::Matrix4d& target, bool elongated) {
    testing::internal::CaptureStdout();
    const int result = generateMoveGoals(*manager, target, Eigen::Matrix4d::Identity(), elongated, results, pose);
    testing::internal::GetCapturedStdout();
    return result;
  }
  FakeKinematics kinematics;
  std::unique_ptr<GrabManager> manager;
  Solutions results;
  Eigen::Matrix4d pose;
};

TEST(GrabGoalSearch, TargetFirstThenRotationsInOrderFromTheRightStart) {
  const Eigen::Matrix3d oblique = Eigen::AngleAxisd(2.4, Eigen::Vector3d(1, 1, 0).normalized()).toRotationMatrix();
  const Eigen::Matrix4d target = makePose(oblique, {0.3, 0.4, 0.2});
  {
    Search search;
    EXPECT_EQ(search.run(target, false), 0);
    EXPECT_EQ(search.pose, target);
    EXPECT_EQ(search.kinematics.asked_.size(), 1u);
    EXPECT_EQ(search.results.size(), 1u);
  }
  // Not elongated: the turns start from the tool pointing down, x away from the base axis, never tried
  // unturned; -3 steps is the 13th candidate.
  Eigen::Matrix3d down;
  down.col(0) = Eigen::Vector3d(0.6, 0.8, 0.0);
  down.col(1) = Eigen::Vector3d(0.8, -0.6, 0.0);
  down.col(2) = Eigen::Vector3d(0.0, 0.0, -1.0);
  {
    Search search;
    const Eigen::Matrix4d accepted = rotatePoseAboutRadialNormal(makePose(down, {0.3, 0.4, 0.2}), -3 * kStep);
    search.acceptOnly(accepted);
    EXPECT_EQ(search.run(target, false), 0);
    EXPECT_TRUE(search.pose.isApprox(accepted, 1e-12));
    EXPECT_EQ(search.kinematics.asked_.size(), 1u + 9 + 3);
  }
  // Elongated: the target's own orientation is kept as the start.
  {
    Search search;
    const Eigen::Matrix4d accepted = rotatePoseAboutRadialNormal(target, 9 * kStep);
    search.acceptOnly(accepted);
    EXPECT_EQ(search.run(target, true), 0);
    EXPECT_TRUE(search.pose.isApprox(accepted, 1e-12));
    EXPECT_EQ(search.kinematics.asked_.size(), 1u + 9);
  }
  // A horizontal approach turns the target itself, whatever the box.
  const Eigen::Matrix4d sideways =
      makePose(Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitY()).toRotationMatrix(), {-0.5, 0.0, 0.3});
  {
    Search search;
    const Eigen::Matrix4d accepted = rotatePoseAboutRadialNormal(sideways, -kStep);
    search.acceptOnly(accepted);
    EXPECT_EQ(search.run(sideways, false), 0);
    EXPECT_TRUE(search.pose.isApprox(accepted, 1e-12));
  }
}

TEST(GrabGoalSearch, ExhaustedOrWithoutStartFails) {
  Search search;
  search.kinematics.solve_ = [](const Eigen::Matrix4d&) { return Solutions{}; };
  const Eigen::Matrix4d down = makePose(Eigen::Vector3d(1, -1, -1).asDiagonal(), {0.3, 0.0, 0.2});
  EXPECT_EQ(search.run(down, true), -1);
  EXPECT_EQ(search.kinematics.asked_.size(), 19u);
  // On the base axis there is no direction to point the tool's x away from.
  search.kinematics.asked_.clear();
  EXPECT_EQ(search.run(makePose(Eigen::Vector3d(1, -1, -1).asDiagonal(), {0.0, 0.0, 0.6}), false), -1);
  EXPECT_EQ(search.kinematics.asked_.size(), 1u);
}

}  // namespace
