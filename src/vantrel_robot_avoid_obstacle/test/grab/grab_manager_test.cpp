#include <cmath>
#include <limits>
#include <memory>

#include <Eigen/Geometry>
#include <Eigen/LU>
#include <gtest/gtest.h>

#include "fake_grab_scene.h"
#include "grab/grab_geometry.h"
#include "grab/grab_manager.h"

namespace
{
using Solutions = FakeKinematics::Solutions;
const Eigen::Matrix4d kIdentity = Eigen::Matrix4d::Identity();

// Runs `call` with its printing swallowed and returns its code.
template <class Call>
int quietly(const Call& call)
{
  testing::internal::CaptureStdout();
  const int code = call();
  testing::internal::GetCapturedStdout();
  return code;
}

// A manager on the fake scene and solver; with the identity tool matrix the tool pose is the flange pose.
struct FakeSetup
{
  explicit FakeSetup(std::function<bool(const double*)> valid = nullptr, int limits_result = 6)
  {
    auto owned = std::make_unique<FakeGrabScene>();
    owned->kinematics_ = &kinematics;
    owned->limits_result_ = limits_result;
    owned->valid_ = std::move(valid);
    scene = owned.get();
    manager = std::make_unique<GrabManager>(std::move(owned), kIdentity);
  }

  int check(const Eigen::Matrix4d& tool_pose, const Eigen::Matrix4d& tool_matrix, Solutions& solutions)
  {
    return quietly([&] { return manager->CheckOutOfRange(tool_pose, tool_matrix, solutions); });
  }

  int transition(const Eigen::Matrix4d& tool_pose, std::vector<double>& out, double min_z = -1.0)
  {
    kinematics.flange_pose_ = tool_pose;
    return quietly([&] { return manager->findTransitionPoint({0, 0, 0, 0, 0, 0}, kIdentity, out, min_z); });
  }

  FakeKinematics kinematics;
  FakeGrabScene* scene;
  std::unique_ptr<GrabManager> manager;
};

struct Never : FakeSetup
{
  Never() : FakeSetup([](const double*) { return false; }) {}
};
}  // namespace

TEST(GrabManagerCheckOutOfRange, KeepsTheSolutionsWithinLimitsAndFreeOfCollision)
{
  FakeSetup setup([](const double* q) { return q[5] != 0.5; });
  setup.kinematics.solve_ = [](const Eigen::Matrix4d&) {
    return Solutions{{1, 2, 3, 4, 5},          {10.5, 0, 0, 0, 0, 0},
                     {10, -10, 0, 0, 0, 0},    {0, std::numeric_limits<double>::quiet_NaN(), 0, 0, 0, 0},
                     {0, 0, 0, 0, 0, 0.5},     {1, 2, 3, 4, 5, 6}};
  };
  const Eigen::Matrix4d tool_matrix = makePose(Eigen::AngleAxisd(0.4, Eigen::Vector3d::UnitX()).toRotationMatrix(), {0, 0.02, 0.15});
  const Eigen::Matrix4d tool_pose = makePose(Eigen::AngleAxisd(2.0, Eigen::Vector3d(1, 2, 3).normalized()).toRotationMatrix(), {0.4, -0.3, 0.5});
  Solutions solutions = {{9, 9, 9, 9, 9, 9}};
  EXPECT_EQ(setup.check(tool_pose, tool_matrix, solutions), 0);
  // 10.5 is beyond its limit but two turns back fits, nearest the reference joint 0.
  EXPECT_EQ(solutions, (Solutions{{10.5 - 4 * M_PI, 0, 0, 0, 0, 0}, {10, -10, 0, 0, 0, 0}, {1, 2, 3, 4, 5, 6}}));
  ASSERT_EQ(setup.kinematics.asked_.size(), 1u);
  EXPECT_LT(maxDifference(setup.kinematics.asked_[0], tool_pose * tool_matrix.inverse()), 1e-12);

  // Each failure: its code; the caller's list kept (-1, -3) or emptied (-2).
  const Solutions before = solutions;
  FakeSetup no_solver, unreachable, out_of_range;
  FakeSetup no_limits(nullptr, -1);  // a failed joint-limit query: no solution has the right length
  no_solver.scene->kinematics_ = nullptr;
  unreachable.kinematics.solve_ = [](const Eigen::Matrix4d&) { return Solutions{}; };
  out_of_range.kinematics.solve_ = [](const Eigen::Matrix4d&) { return Solutions{{0, 0, 0, 0, 0, -1e7}}; };
  for (const auto& [setup_of_case, code] : {std::pair<FakeSetup*, int>{&no_solver, -1}, {&unreachable, -1},
                                           {&out_of_range, -3}, {&no_limits, -3}})
  {
    EXPECT_EQ(setup_of_case->check(kIdentity, kIdentity, solutions), code);
    EXPECT_EQ(solutions, before);
  }
  EXPECT_EQ(Never().check(kIdentity, kIdentity, solutions), -2);
  EXPECT_TRUE(solutions.empty());
}

TEST(SelectNearestIkSolution, PicksTheNearestAndTurnsJointsTowardsTheReferenceWithinLimits)
{
  const std::vector<std::pair<double, double>> wide(6, {-2 * M_PI, 2 * M_PI}), half_turn(6, {-M_PI, M_PI});
  std::vector<double> out = {7};
  const auto select = [&](const Solutions& candidates, const std::vector<double>& reference,
                          const std::vector<std::pair<double, double>>& limits) {
    return quietly([&] { return selectNearestIkSolution(candidates, out, reference, limits); });
  };
  EXPECT_EQ(select({}, {0, 0, 0, 0}, wide), -1);
  EXPECT_EQ(select({{0, 0, 0}, {1, 1, 1}}, {0, 0, 0}, wide), -2);
  EXPECT_EQ(out, std::vector<double>{7});
  // One candidate is taken as it is, however far from the reference.
  ASSERT_EQ(select({{-3, 3, -3, 3}}, {3, -3, 3, -3}, wide), 0);
  EXPECT_EQ(out, (std::vector<double>{-3, 3, -3, 3}));
  // The least sum of differences wins; of equals the first.
  ASSERT_EQ(select({{1, 0, 0, 0}, {0, 0.5, 0, 0.45}, {0, 0, 0.9, 0}, {0.9, 0, 0, 0}}, {0, 0, 0, 0}, wide), 0);
  EXPECT_EQ(out, (std::vector<double>{0, 0, 0.9, 0}));
  // Joint 0 lies 5.0 from the reference and turns by a full turn; joint 1 exactly three half turns and stays;
  // unless the turn would leave the joint's limits.
  const Solutions far = {{-2.0, 4.71238898038469, 0, 0}, {-2.5, 4.71238898038469, 0, 0}};
  ASSERT_EQ(select(far, {3.0, 0, 0, 0}, wide), 0);
  EXPECT_EQ(out, (std::vector<double>{4.283185307179586, 4.71238898038469, 0, 0}));
  ASSERT_EQ(select(far, {3.0, 0, 0, 0}, half_turn), 0);
  EXPECT_EQ(out, far[0]);
}

TEST(GrabManagerFindTransitionPoint, BacksStraightUpFromAnUpwardApproachFirstUntiltedThenTilted)
{
  const Eigen::Matrix4d pointing_up = makePose(Eigen::Matrix3d::Identity(), {0.5, 0, 0.2});
  FakeSetup first;
  std::vector<double> out;
  ASSERT_EQ(first.transition(pointing_up, out), 0);
  EXPECT_EQ(first.scene->padding_restored_, 1);
  ASSERT_EQ(first.kinematics.asked_.size(), 1u);
  EXPECT_LT(maxDifference(first.kinematics.asked_[0], makePose(Eigen::Matrix3d::Identity(), {0.5, 0, 0.25})), 1e-15);
  EXPECT_EQ(out, FakeKinematics::spelledOut(first.kinematics.asked_[0]));

  // Only the last of 16 heights x 13 tilts passes: 0.20 m up, tilted by -30 degrees.
  FakeSetup last;
  last.scene->valid_ = [&](const double*) { return last.scene->checks_ == 208; };
  ASSERT_EQ(last.transition(pointing_up, out), 0);
  ASSERT_EQ(last.kinematics.asked_.size(), 208u);
  EXPECT_LT(maxDifference(last.kinematics.asked_.back(),
                          rotatePoseAboutRadialNormal(offsetPoseTranslation(pointing_up, 0.2, 0.0), -6 * kGrabTurnStep)),
            1e-15);
  out = {1, 2, 3};
  EXPECT_EQ(Never().transition(pointing_up, out), -1);
  EXPECT_EQ(out, (std::vector<double>{1, 2, 3}));
}

TEST(GrabManagerFindTransitionPoint, BacksInwardsFromAHorizontalApproachThenUpAboveTheBox)
{
  // Approach along +x at (0.5, 0, 0.2); only tool heights above 0.5 m are free.
  Eigen::Matrix3d along_x;
  along_x << 0, 0, 1, 0, 1, 0, -1, 0, 0;
  const Eigen::Matrix4d horizontal = makePose(along_x, {0.5, 0, 0.2});
  FakeSetup setup([](const double* q) { return q[2] > 0.5; });
  std::vector<double> out;
  ASSERT_EQ(setup.transition(horizontal, out, 0.4), 0);
  const std::vector<Eigen::Matrix4d>& asked = setup.kinematics.asked_;
  ASSERT_GT(asked.size(), 950u);
  // Inwards first, 5 cm to 54 cm towards the base axis, 19 tilts each.
  EXPECT_LT(maxDifference(asked.front(), offsetPoseTranslation(horizontal, 0.05, M_PI / 2)), 1e-15);
  EXPECT_LT(maxDifference(asked[949], rotatePoseAboutRadialNormal(offsetPoseTranslation(horizontal, 0.54, M_PI / 2), -9 * kGrabTurnStep)),
            1e-15);
  // Then straight up and untilted, skipping what lies below the box top.
  for (std::size_t i = 950; i < asked.size(); ++i)
  {
    EXPECT_GE(asked[i](2, 3), 0.4);
    EXPECT_EQ(Eigen::Matrix3d(asked[i].topLeftCorner<3, 3>()), along_x);
  }
  EXPECT_NEAR(out[2], 0.51, 1e-12);
  EXPECT_EQ(Never().transition(horizontal, out, 0.4), -1);
}

TEST(GrabManagerFindTransitionPoint, SweepsOtherApproachesTowardsOrAwayFromTheRadialDirection)
{
  // Pointing straight down above the base height: from straight up (0) towards the radial direction's tilt
  // from straight down, acos(-0.2 / |(0.5, 0, 0.2)|) = 1.951 rad, in 23 five-degree steps.
  const Eigen::Matrix4d pointing_down = makePose(Eigen::Vector3d(1, -1, -1).asDiagonal(), {0.5, 0, 0.2});
  FakeSetup first;
  std::vector<double> out;
  ASSERT_EQ(first.transition(pointing_down, out), 0);
  EXPECT_LT(maxDifference(first.kinematics.asked_.front(), offsetPoseTranslation(pointing_down, 0.05, 0.0)), 1e-15);
  // Tilted 82 degrees from straight down below the base height, past the radial direction: back towards
  // straight up in 17 steps.
  const Eigen::Matrix4d past_radial =
      makePose(Eigen::AngleAxisd(98 * M_PI / 180, Eigen::Vector3d::UnitY()).toRotationMatrix(), {0.5, 0, -0.2});
  for (const auto& [pose, code, tilts] : {std::tuple{pointing_down, -33, 23u}, std::tuple{past_radial, -44, 17u}})
  {
    Never none;
    EXPECT_EQ(none.transition(pose, out), code);
    EXPECT_EQ(none.kinematics.asked_.size(), tilts * 17u * 19u);
  }

  // Degenerate: no solver; a pose of non-numbers (no tilt to sweep); a tool at the base origin.
  out = {1};
  FakeSetup no_solver;
  no_solver.scene->kinematics_ = nullptr;
  EXPECT_EQ(no_solver.transition(kIdentity, out), -1);
  Never broken;
  EXPECT_EQ(broken.transition(Eigen::Matrix4d::Constant(std::numeric_limits<double>::quiet_NaN()), out), -44);
  EXPECT_TRUE(broken.kinematics.asked_.empty());
  EXPECT_EQ(broken.transition(makePose(Eigen::AngleAxisd(2.5, Eigen::Vector3d::UnitY()).toRotationMatrix(), {0, 0, 0}), out), -44);
  EXPECT_EQ(out, std::vector<double>{1});
}
