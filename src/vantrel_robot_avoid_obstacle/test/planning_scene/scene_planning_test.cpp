#include <cmath>

#include <gtest/gtest.h>

#include "planning/path_plan_and_post_processing.h"
#include "planning/rrt_connect.h"
#include "support/joint_space_scenes.h"
#include "support/planning_scenarios.h"
#include "support/scene_fixtures.h"

namespace {

class Arm6Planning : public testing::Test {
 protected:
  void SetUp() override {
    testing::internal::CaptureStdout();
    scene_ = makeArm6Scene();
    scenario_ = wallScenario(*scene_);
    testing::internal::GetCapturedStdout();
  }
  std::unique_ptr<ManipulatorPlanScene> scene_;
  PlanningScenario scenario_;
};

TEST_F(Arm6Planning, WallScenarioBlocksTheStraightMotion) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(scene_->isStateValid(scenario_.start.data()));
  EXPECT_TRUE(scene_->isStateValid(scenario_.goal.data()));
  EXPECT_FALSE(scene_->checkMotion(scenario_.start.data(), scenario_.goal.data()));
  testing::internal::GetCapturedStdout();
}

TEST_F(Arm6Planning, PlannedPathAvoidsTheWallAndKeepsToTheBounds) {
  std::vector<std::pair<double, double>> bounds;
  ASSERT_EQ(scene_->getJointLimits(bounds), 6);
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    CountingSeedSource seeds(seed);
    RRTConnectPlanner planner(scene_.get(), {seeds.source(), wallClockMicroseconds});
    planner.setStartAndGoal(scenario_.start, scenario_.goal);
    JointPath path;
    testing::internal::CaptureStdout();
    const int code = planner.plan(path);
    bool every_segment_valid = true;
    for (std::size_t k = 0; k + 1 < path.size(); ++k) {
      every_segment_valid = every_segment_valid && scene_->checkMotion(path[k].data(), path[k + 1].data());
    }
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(code, 0) << out;
    EXPECT_TRUE(every_segment_valid);
    for (const auto& waypoint : path) {
      for (std::size_t j = 0; j < bounds.size(); ++j) {
        EXPECT_GE(waypoint[j], bounds[j].first);
        EXPECT_LE(waypoint[j], bounds[j].second);
      }
    }
  }
}

TEST_F(Arm6Planning, TrajectoryIsTimedWithinTheLimits) {
  std::vector<std::pair<double, double>> bounds;
  ASSERT_EQ(scene_->getJointLimits(bounds), 6);
  std::vector<double> vmax;
  std::vector<double> amax;
  ASSERT_EQ(scene_->getVmaxAndAmax(vmax, amax), 6);
  PathPlanAndPostProcessing pipeline(scene_.get());
  std::vector<TrajectoryPoint> points;
  testing::internal::CaptureStdout();
  const int code = pipeline.pathPlanAndSimplify(scenario_.start, scenario_.goal, points);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(code, 0);
  ASSERT_GE(points.size(), 2u);
  for (std::size_t j = 0; j < 6; ++j) {
    EXPECT_NEAR(points.front().positions[j], scenario_.start[j], 1e-9);
    EXPECT_NEAR(points.back().positions[j], scenario_.goal[j], 1e-9);
  }
  for (std::size_t k = 0; k < points.size(); ++k) {
    if (k > 0) {
      EXPECT_GE(points[k].time_from_start, points[k - 1].time_from_start) << "sample " << k;
    }
    for (std::size_t j = 0; j < 6; ++j) {
      EXPECT_GE(points[k].positions[j], bounds[j].first - 1e-9);
      EXPECT_LE(points[k].positions[j], bounds[j].second + 1e-9);
      EXPECT_LE(std::fabs(points[k].velocities[j]), vmax[j] + 1e-9) << "sample " << k << " joint " << j;
      EXPECT_LE(std::fabs(points[k].accelerations[j]), amax[j] + 0.01) << "sample " << k << " joint " << j;
    }
  }
}

TEST_F(Arm6Planning, StartInsideTheWallAndGoalOutOfRangeAreRefused) {
  PathPlanAndPostProcessing pipeline(scene_.get());
  std::vector<TrajectoryPoint> points;
  std::vector<double> far_goal = scenario_.goal;
  far_goal[5] = 6.5;  // a turn of the wrist: free of collision, beyond its range
  testing::internal::CaptureStdout();
  const int inside_wall = pipeline.pathPlanAndSimplify(readyPose(0.0), scenario_.goal, points);
  const int out_of_range = pipeline.pathPlanAndSimplify(scenario_.start, far_goal, points);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(inside_wall, -1) << out;
  EXPECT_EQ(out_of_range, -4) << out;
}

}  // namespace
