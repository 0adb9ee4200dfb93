#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "planning/path_plan_and_post_processing.h"
#include "support/config_space_scene.h"
#include "support/joint_space_scenes.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const char kRealBanner[] = "---------------start path plan and simpfily---------------";
const char kSimulationBanner[] = "---------------start path plan and simpfily Simulation---------------";

struct DriverRun {
  int code;
  std::vector<TrajectoryPoint> points;
  std::string output;
};

// Runs one driver on a fresh facade with reproducible seeds and a clock that stands still.
DriverRun drive(ConfigSpaceScene& scene, bool simulation, const std::vector<double>& start,
                const std::vector<double>& goal) {
  CountingSeedSource seeds(42);
  PathPlanAndPostProcessing facade(&scene, {seeds.source(), [] { return std::int64_t{0}; }});
  DriverRun run{0, std::vector<TrajectoryPoint>(2), ""};
  CaptureStdout();
  run.code = simulation ? facade.pathPlanAndSimplifySimulation(start, goal, run.points)
                        : facade.pathPlanAndSimplify(start, goal, run.points);
  run.output = GetCapturedStdout();
  return run;
}

std::unique_ptr<ConfigSpaceScene> squareWithBlock() {
  auto scene = std::make_unique<ConfigSpaceScene>(std::vector<std::pair<double, double>>(2, {-1.0, 1.0}));
  scene->addObstacle({{0.4, 0.4}, {0.6, 0.6}});
  return scene;
}

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(PathPlanAndPostProcessing, PlannerFailureLeavesNoPoints) {
  auto scene = squareWithBlock();
  const DriverRun run = drive(*scene, false, {0.5, 0.5}, {0.0, 0.0});
  EXPECT_EQ(run.code, -1);
  EXPECT_TRUE(run.points.empty());
  EXPECT_NE(run.output.find(std::string(kRealBanner) + "\n\033[41m ERROR: Start Point is in the obstacle\033[0m\n"
                            "[path_plan_and_post_processing]path plan error!,error ocde=-1\n"),
            std::string::npos);
}

TEST(PathPlanAndPostProcessing, DirectPathIsCheckedOnceAndTimed) {
  auto scene = squareWithBlock();
  const DriverRun run = drive(*scene, false, {-0.5, -0.5}, {0.5, -0.5});
  ASSERT_EQ(run.code, 0);
  EXPECT_EQ(countOf(run.output, "check_motion_flag:"), 1u);
  EXPECT_NE(run.output.find("check_motion_flag:1\n---------------path plan success---------------\n"
                            "vmax-amax:1,3\nvmax-amax:1,3\n---------------start calculate path time---------------\n"
                            "---------------calculate path time success---------------,point size:5\n"),
            std::string::npos);
  ASSERT_EQ(run.points.size(), 5u);
  EXPECT_EQ(run.points.front().positions, (std::vector<double>{-0.5, -0.5}));
  EXPECT_EQ(run.points.back().positions, (std::vector<double>{0.5, -0.5}));
}

TEST(PathPlanAndPostProcessing, MissingLimitsEndInMinusThree) {
  auto scene = squareWithBlock();
  scene->setVelocityAndAccelerationLimits({}, {});
  const DriverRun run = drive(*scene, false, {-0.5, -0.5}, {0.5, -0.5});
  EXPECT_EQ(run.code, -3);
  EXPECT_NE(run.output.find("---------------path plan success---------------\ngetVmaxAndAmax error!\n"),
            std::string::npos);
}

TEST(PathPlanAndPostProcessing, TooFewLimitsEndInMinusThree) {
  auto scene = squareWithBlock();
  scene->setVelocityAndAccelerationLimits({1.0}, {1.0});
  EXPECT_EQ(drive(*scene, false, {-0.5, -0.5}, {0.5, -0.5}).code, -3);
}

TEST(PathPlanAndPostProcessing, BadLimitsEndInTheTimeCode) {
  auto scene = squareWithBlock();
  scene->setVelocityAndAccelerationLimits({1.0, 0.0}, {3.0, 3.0});
  const DriverRun run = drive(*scene, false, {-0.5, -0.5}, {0.5, -0.5});
  EXPECT_EQ(run.code, -8);
  EXPECT_EQ(run.output.find("calculate path time success"), std::string::npos);
}

TEST(PathPlanAndPostProcessing, SegmentFailingTheFinalCheckIsNotASuccess) {
  auto scene = squareWithBlock();
  scene->rejectMotionsAfter(1);  // the planner's direct check passes, the driver's re-check fails
  const DriverRun run = drive(*scene, false, {-0.5, -0.5}, {0.5, -0.5});
  EXPECT_EQ(run.code, -7);
  EXPECT_TRUE(run.points.empty());
  EXPECT_NE(run.output.find("check_motion_flag:0\n"
                            "[path_plan_and_post_processing]planned path has a segment in collision!,error code=-7\n"),
            std::string::npos);
  EXPECT_EQ(run.output.find("path plan success"), std::string::npos);
}

TEST(PathPlanAndPostProcessing, DriversDifferOnlyInTheBanner) {
  auto real_scene = makeWallWithGapScene(2);
  auto simulation_scene = makeWallWithGapScene(2);
  const DriverRun real = drive(*real_scene, false, wallStart(2), wallGoal(2));
  DriverRun simulation = drive(*simulation_scene, true, wallStart(2), wallGoal(2));
  ASSERT_EQ(real.code, 0);
  EXPECT_EQ(simulation.code, real.code);
  const std::size_t banner = simulation.output.find(kSimulationBanner);
  ASSERT_NE(banner, std::string::npos);
  simulation.output.replace(banner, sizeof(kSimulationBanner) - 1, kRealBanner);
  EXPECT_EQ(simulation.output, real.output);
  ASSERT_EQ(simulation.points.size(), real.points.size());
  for (std::size_t i = 0; i < real.points.size(); ++i) {
    EXPECT_EQ(simulation.points[i].positions, real.points[i].positions);
    EXPECT_EQ(simulation.points[i].time_from_start, real.points[i].time_from_start);
  }
}

TEST(PathPlanAndPostProcessing, SearchedTrajectoryRunsFromStartToGoalInTime) {
  auto scene = makeWallWithGapScene(6);
  const DriverRun run = drive(*scene, true, wallStart(6), wallGoal(6));
  ASSERT_EQ(run.code, 0);
  ASSERT_GE(run.points.size(), 4u);
  EXPECT_EQ(run.points.front().positions, wallStart(6));
  EXPECT_EQ(run.points.back().positions, wallGoal(6));
  for (std::size_t i = 1; i < run.points.size(); ++i) {
    EXPECT_GT(run.points[i].time_from_start, run.points[i - 1].time_from_start);
  }
  EXPECT_EQ(countOf(run.output, "check_motion_flag:1\n"), countOf(run.output, "check_motion_flag:"));
}

}  // namespace
