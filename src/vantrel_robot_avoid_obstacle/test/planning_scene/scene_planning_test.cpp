// The whole planner on arm6 among octree obstacles, and the planner's property suite on this real scene.
#include <cmath>

#include <gtest/gtest.h>

#include "planner_property_suite.h"
#include "planning/path_plan_and_post_processing.h"
#include "support/captured_output.h"
#include "support/planning_scenarios.h"
#include "support/scene_fixtures.h"

namespace {

// One arm6 scene with the octree wall for every test and seed: building it again would only repeat the
// mesh loading.
struct Arm6Wall {
  Arm6Wall() {
    capturedOutput([&] {
      scene = makeArm6Scene();
      scenario = wallScenario(*scene);
    });
  }
  std::shared_ptr<ManipulatorPlanScene> scene;
  PlanningScenario scenario;
};

Arm6Wall& arm6Wall() {
  static Arm6Wall wall;
  return wall;
}

PlannerSceneCase arm6WallCase() {
  return {"Arm6OctreeWall", [] { return std::shared_ptr<PlanSceneInterface>(arm6Wall().scene); },
          arm6Wall().scenario.start, arm6Wall().scenario.goal};
}

INSTANTIATE_TEST_SUITE_P(RealScene, PlannerProperties, testing::Values(arm6WallCase()), plannerSceneCaseName);

TEST(Arm6Planning, TrajectoryOverTheWallIsCheckedAndTimedWithinTheLimits) {
  ManipulatorPlanScene& scene = *arm6Wall().scene;
  const PlanningScenario& scenario = arm6Wall().scenario;
  std::vector<std::pair<double, double>> bounds;
  ASSERT_EQ(scene.getJointLimits(bounds), 6);
  std::vector<double> vmax;
  std::vector<double> amax;
  ASSERT_EQ(scene.getVmaxAndAmax(vmax, amax), 6);
  PathPlanAndPostProcessing pipeline(&scene);
  std::vector<TrajectoryPoint> points;
  int code = 0;
  const std::string out =
      capturedOutput([&] { code = pipeline.pathPlanAndSimplify(scenario.start, scenario.goal, points); });
  ASSERT_EQ(code, 0);
  EXPECT_EQ(out.find("check_motion_flag:0"), std::string::npos);
  EXPECT_NE(out.find("check_motion_flag:1"), std::string::npos);
  ASSERT_GE(points.size(), 2u);
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

TEST(Arm6Planning, StartInsideTheWallAndGoalOutOfRangeAreRefused) {
  const PlanningScenario& scenario = arm6Wall().scenario;
  PathPlanAndPostProcessing pipeline(arm6Wall().scene.get());
  std::vector<TrajectoryPoint> points;
  std::vector<double> far_goal = scenario.goal;
  far_goal[5] = 6.5;  // a turn of the wrist: free of collision, beyond its range
  int inside_wall = 0;
  int out_of_range = 0;
  capturedOutput([&] {
    inside_wall = pipeline.pathPlanAndSimplify(readyPose(0.0), scenario.goal, points);
    out_of_range = pipeline.pathPlanAndSimplify(scenario.start, far_goal, points);
  });
  EXPECT_EQ(inside_wall, -1);
  EXPECT_EQ(out_of_range, -4);
}

}  // namespace
