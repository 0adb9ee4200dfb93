#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include <Eigen/Geometry>
#include <Eigen/LU>
#include <gtest/gtest.h>

#include "fake_grab_scene.h"
#include "grab/grab_geometry.h"
#include "grab/grab_manager.h"
#include "support/scene_fixtures.h"

namespace
{
using Solutions = std::vector<std::vector<double>>;
constexpr double kTiltStep = 0.08726646259971647;

template <typename Call>
std::string printedBy(Call&& call)
{
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

std::size_t count(const std::string& text, const std::string& line)
{
  std::size_t n = 0;
  for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
  {
    ++n;
  }
  return n;
}

Eigen::Matrix4d pose(const Eigen::Matrix3d& rotation, const Eigen::Vector3d& position)
{
  Eigen::Matrix4d result = Eigen::Matrix4d::Identity();
  result.topLeftCorner<3, 3>() = rotation;
  result.topRightCorner<3, 1>() = position;
  return result;
}

// A manager on the fake scene and solver, the tool matrix the identity (tool pose = flange pose).
struct FakeSetup
{
  explicit FakeSetup(int limits_result = 6)
  {
    auto owned = std::make_unique<FakeGrabScene>();
    owned->kinematics_ = &kinematics;
    owned->limits_result_ = limits_result;
    scene = owned.get();
    manager = std::make_unique<GrabManager>(std::move(owned), Eigen::Matrix4d::Identity());
  }

  int transition(const Eigen::Matrix4d& tool_pose, std::vector<double>& out, double min_z = -1.0)
  {
    kinematics.flange_pose_ = tool_pose;
    int code = 0;
    printed = printedBy([&] { code = manager->findTransitionPoint({0, 0, 0, 0, 0, 0}, Eigen::Matrix4d::Identity(), out, min_z); });
    return code;
  }

  FakeKinematics kinematics;
  FakeGrabScene* scene;
  std::unique_ptr<GrabManager> manager;
  std::string printed;
};

void expectPoseNear(const Eigen::Matrix4d& actual, const Eigen::Matrix4d& expected)
{
  EXPECT_LT((actual - expected).cwiseAbs().maxCoeff(), 1e-12) << actual << "\nexpected\n" << expected;
}
}  // namespace

TEST(GrabManagerCheckOutOfRange, KeepsTheSolutionsWithinLimitsAndFreeOfCollision)
{
  FakeSetup setup;
  const std::vector<double> at_limits = {10, -10, 0, 0, 0, 0};
  const std::vector<double> colliding = {0, 0, 0, 0, 0, 0.5};
  const std::vector<double> free = {1, 2, 3, 4, 5, 6};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  setup.kinematics.solve_ = [&](const Eigen::Matrix4d&) {
    return Solutions{{1, 2, 3, 4, 5}, {10.5, 0, 0, 0, 0, 0}, at_limits, {0, nan, 0, 0, 0, 0}, colliding, free};
  };
  setup.scene->valid_ = [](const double* q) { return q[5] != 0.5; };
  Eigen::Matrix4d tool_matrix = pose(Eigen::AngleAxisd(0.4, Eigen::Vector3d::UnitX()).toRotationMatrix(), {0, 0.02, 0.15});
  const Eigen::Matrix4d tool_pose = pose(Eigen::AngleAxisd(2.0, Eigen::Vector3d(1, 2, 3).normalized()).toRotationMatrix(), {0.4, -0.3, 0.5});

  Solutions solutions = {{9, 9, 9, 9, 9, 9}};
  int code = 0;
  const std::string printed = printedBy([&] { code = setup.manager->CheckOutOfRange(tool_pose, tool_matrix, solutions); });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(solutions, (Solutions{at_limits, free}));
  EXPECT_EQ(count(printed, "GrabManager::CheckOutOfRange n!=n_dof_\n"), 1u);
  ASSERT_EQ(setup.kinematics.asked_.size(), 1u);
  expectPoseNear(setup.kinematics.asked_[0], tool_pose * tool_matrix.inverse());
  EXPECT_EQ(setup.scene->checks_, 3);
}

TEST(GrabManagerCheckOutOfRange, EachFailureHasItsCodeAndLeavesTheListAsSpecified)
{
  const Solutions before = {{9, 9, 9, 9, 9, 9}};
  const auto check = [&](FakeSetup& setup, Solutions& solutions) {
    int code = 0;
    printedBy([&] { code = setup.manager->CheckOutOfRange(Eigen::Matrix4d::Identity(), Eigen::Matrix4d::Identity(), solutions); });
    return code;
  };

  FakeSetup no_solver;
  no_solver.scene->kinematics_ = nullptr;
  Solutions solutions = before;
  EXPECT_EQ(check(no_solver, solutions), -1);
  EXPECT_EQ(solutions, before);

  FakeSetup unreachable;
  unreachable.kinematics.solve_ = [](const Eigen::Matrix4d&) { return Solutions{}; };
  EXPECT_EQ(check(unreachable, solutions), -1);
  EXPECT_EQ(solutions, before);

  FakeSetup out_of_range;
  out_of_range.kinematics.solve_ = [](const Eigen::Matrix4d&) { return Solutions{{0, 0, 0, 0, 0, -10.000001}}; };
  EXPECT_EQ(check(out_of_range, solutions), -3);
  EXPECT_EQ(solutions, before);

  // A failed joint-limit query leaves no solution of the right length.
  FakeSetup no_limits(-1);
  EXPECT_EQ(check(no_limits, solutions), -3);
  EXPECT_EQ(solutions, before);
  EXPECT_EQ(no_limits.scene->checks_, 0);

  FakeSetup colliding;
  colliding.scene->valid_ = [](const double*) { return false; };
  EXPECT_EQ(check(colliding, solutions), -2);
  EXPECT_TRUE(solutions.empty());
}

TEST(SelectNearestIkSolution, PicksTheNearestAndTurnsJointsTowardsTheReferenceWithinLimits)
{
  const std::vector<std::pair<double, double>> wide(6, {-2 * M_PI, 2 * M_PI});
  const std::vector<std::pair<double, double>> half_turn(6, {-M_PI, M_PI});
  std::vector<double> out = {7};
  const auto select = [&](const Solutions& candidates, const std::vector<double>& reference,
                          const std::vector<std::pair<double, double>>& limits) {
    int code = 0;
    printedBy([&] { code = selectNearestIkSolution(candidates, out, reference, limits); });
    return code;
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

  // Joint 0: 5.0 from the reference, turned by a full turn; joint 1: exactly three half turns, left alone.
  const Solutions far = {{-2.0, 4.71238898038469, 0, 0}, {-2.5, 4.71238898038469, 0, 0}};
  ASSERT_EQ(select(far, {3.0, 0, 0, 0}, wide), 0);
  EXPECT_EQ(out, (std::vector<double>{-2.0 + 6.283185307179586, 4.71238898038469, 0, 0}));
  EXPECT_DOUBLE_EQ(out[0], 4.283185307179586);
  // The turn would leave the joint's limits: the joint stays where the solver put it.
  ASSERT_EQ(select(far, {3.0, 0, 0, 0}, half_turn), 0);
  EXPECT_EQ(out, far[0]);
}

TEST(GrabManagerFindTransitionPoint, BacksStraightUpFromAnUpwardApproachFirstUntiltedThenTilted)
{
  const Eigen::Matrix4d pointing_up = pose(Eigen::Matrix3d::Identity(), {0.5, 0, 0.2});
  FakeSetup first;
  std::vector<double> out;
  ASSERT_EQ(first.transition(pointing_up, out), 0);
  EXPECT_EQ(first.scene->padding_restored_, 1);
  ASSERT_EQ(first.kinematics.asked_.size(), 1u);
  expectPoseNear(first.kinematics.asked_[0], pose(Eigen::Matrix3d::Identity(), {0.5, 0, 0.25}));
  EXPECT_EQ(out, FakeKinematics::spelledOut(first.kinematics.asked_[0]));
  EXPECT_NE(first.printed.find("\033[42m Solve grab Transition Point success 1\033[0m\n"), std::string::npos);

  // Only the last of the 16 heights x 13 tilts passes: 0.20 m up, tilted by -30 degrees.
  FakeSetup last;
  last.scene->valid_ = [&](const double*) { return last.scene->checks_ == 208; };
  ASSERT_EQ(last.transition(pointing_up, out), 0);
  ASSERT_EQ(last.kinematics.asked_.size(), 208u);
  expectPoseNear(last.kinematics.asked_.back(),
                 rotatePoseAboutRadialNormal(offsetPoseTranslation(pointing_up, 0.2, 0.0), -6 * kTiltStep));

  FakeSetup none;
  none.scene->valid_ = [](const double*) { return false; };
  out = {1, 2, 3};
  EXPECT_EQ(none.transition(pointing_up, out), -1);
  EXPECT_EQ(none.kinematics.asked_.size(), 208u);
  EXPECT_EQ(out, (std::vector<double>{1, 2, 3}));
}

TEST(GrabManagerFindTransitionPoint, BacksInwardsFromAHorizontalApproachThenUpAboveTheBox)
{
  // Approach along +x at (0.5, 0, 0.2); only poses higher than 0.5 m are free.
  Eigen::Matrix3d along_x;
  along_x << 0, 0, 1, 0, 1, 0, -1, 0, 0;
  const Eigen::Matrix4d horizontal = pose(along_x, {0.5, 0, 0.2});
  FakeSetup setup;
  setup.scene->valid_ = [](const double* q) { return q[2] > 0.5; };
  std::vector<double> out;
  ASSERT_EQ(setup.transition(horizontal, out, 0.4), 0);

  const std::vector<Eigen::Matrix4d>& asked = setup.kinematics.asked_;
  ASSERT_GT(asked.size(), 950u);
  // Inwards first, from 5 cm to 54 cm towards the base axis, each height with 19 tilts.
  expectPoseNear(asked.front(), offsetPoseTranslation(horizontal, 0.05, M_PI / 2));
  expectPoseNear(asked[949], rotatePoseAboutRadialNormal(offsetPoseTranslation(horizontal, 0.54, M_PI / 2), -9 * kTiltStep));
  // Then straight up, untilted, skipping what lies below the box top.
  for (std::size_t i = 950; i < asked.size(); ++i)
  {
    EXPECT_GE(asked[i](2, 3), 0.4);
    EXPECT_EQ(Eigen::Matrix3d(asked[i].topLeftCorner<3, 3>()), along_x);
  }
  EXPECT_NEAR(out[2], 0.51, 1e-12);
  EXPECT_NE(setup.printed.find("success 2\033[0m\n"), std::string::npos);

  FakeSetup none;
  none.scene->valid_ = [](const double*) { return false; };
  EXPECT_EQ(none.transition(horizontal, out, 0.4), -1);
  EXPECT_NE(none.printed.find("=========GrabPrincipalAxisType::VERTICAL find Transition Point ERROR!=========\n"),
            std::string::npos);
}

TEST(GrabManagerFindTransitionPoint, SweepsTiltedApproachesTowardsOrAwayFromTheRadialDirection)
{
  // Pointing straight down above the base height: the sweep runs from straight up (0) towards the radial
  // direction's tilt from straight down, acos(-0.2 / |(0.5, 0, 0.2)|) = 1.951 rad: 23 five-degree steps.
  const Eigen::Matrix4d pointing_down = pose(Eigen::Vector3d(1, -1, -1).asDiagonal(), {0.5, 0, 0.2});
  FakeSetup first;
  std::vector<double> out;
  ASSERT_EQ(first.transition(pointing_down, out), 0);
  expectPoseNear(first.kinematics.asked_.front(), offsetPoseTranslation(pointing_down, 0.05, 0.0));
  EXPECT_NE(first.printed.find("success 4\033[0m"), std::string::npos);

  FakeSetup none;
  none.scene->valid_ = [](const double*) { return false; };
  EXPECT_EQ(none.transition(pointing_down, out), -33);
  EXPECT_EQ(count(none.printed, "find TransitionPoint rotate theta="), 23u);
  EXPECT_EQ(none.kinematics.asked_.size(), 23u * 17u * 19u);

  // Tilted 80 degrees from straight down below the base height, beyond the radial direction: back towards
  // straight up, 16 steps.
  const Eigen::Matrix4d tilted = pose(Eigen::AngleAxisd(M_PI - 80 * M_PI / 180, Eigen::Vector3d::UnitY()).toRotationMatrix(), {0.5, 0, -0.2});
  FakeSetup backwards;
  backwards.scene->valid_ = [](const double*) { return false; };
  EXPECT_EQ(backwards.transition(tilted, out), -44);
  EXPECT_EQ(count(backwards.printed, "find TransitionPoint rotate theta="), 17u);
}

TEST(GrabManagerFindTransitionPoint, DegeneratePosesEndTheSearchWithoutAnswer)
{
  std::vector<double> out = {1};
  FakeSetup no_solver;
  no_solver.scene->kinematics_ = nullptr;
  EXPECT_EQ(no_solver.transition(Eigen::Matrix4d::Identity(), out), -1);

  // A pose of non-numbers has no tilt to sweep; a tool at the base origin has no radial direction.
  FakeSetup broken;
  broken.scene->valid_ = [](const double*) { return false; };
  EXPECT_EQ(broken.transition(Eigen::Matrix4d::Constant(std::numeric_limits<double>::quiet_NaN()), out), -44);
  EXPECT_TRUE(broken.kinematics.asked_.empty());
  const Eigen::Matrix4d at_origin = pose(Eigen::AngleAxisd(2.5, Eigen::Vector3d::UnitY()).toRotationMatrix(), {0, 0, 0});
  EXPECT_EQ(broken.transition(at_origin, out), -44);
  EXPECT_EQ(out, std::vector<double>{1});
}

TEST(GrabManager, ReachesAKnownConfigurationOfEachArmThroughItsScene)
{
  Eigen::Matrix4d tool = Eigen::Matrix4d::Identity();
  tool(2, 3) = 0.16;
  const std::vector<double> arm6_q = {0.3, 0.6891, 1.5223, 0.2, 0.9253, -0.4};
  const std::vector<double> arm5_q = {0.3, 0.5, 1.0, 0.5, -0.4};
  for (const auto& [make_scene, q] : {std::make_pair(+[] { return makeArm6Scene(); }, arm6_q),
                                      std::make_pair(+[] { return makeArm5Scene(); }, arm5_q)})
  {
    std::unique_ptr<ManipulatorPlanScene> scene;
    std::unique_ptr<GrabManager> manager;
    Solutions solutions;
    int code = 0;
    printedBy([&] {
      scene = make_scene();
      manager = std::make_unique<GrabManager>(scene.get(), tool);
      Eigen::Matrix4d flange;
      scene->getPlanningGroup()->forwardKinematicsMatrix(q, flange);
      code = manager->CheckOutOfRange(flange * tool, tool, solutions);
    });
    std::vector<std::pair<double, double>> limits;
    EXPECT_EQ(manager->getDof(), scene->getJointLimits(limits));
    EXPECT_EQ(manager->getJointLimits(), limits);
    EXPECT_EQ(manager->getToolMatrix(), tool);
    ASSERT_EQ(code, 0) << q.size() << " joints";
    bool found = false;
    for (const std::vector<double>& solution : solutions)
    {
      found = found || (Eigen::Map<const Eigen::VectorXd>(solution.data(), solution.size()) -
                        Eigen::Map<const Eigen::VectorXd>(q.data(), q.size()))
                               .cwiseAbs()
                               .maxCoeff() < 1e-6;
    }
    EXPECT_TRUE(found) << q.size() << " joints: the configuration is not among the solutions";
  }
}
