#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "planning/path_plan_and_post_processing.h"
#include "support/captured_output.h"
#include "support/joint_space_scenes.h"

namespace {

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
  run.output = capturedOutput([&] {
    run.code = simulation ? facade.pathPlanAndSimplifySimulation(start, goal, run.points)
                          : facade.pathPlanAndSimplify(start, goal, run.points);
  });
  return run;
}

struct FailureCase {
  std::function<void(ConfigSpaceScene&)> set_up;
  std::vector<double> start;
  int code;
};

TEST(PathPlanAndPostProcessing, FailuresLeaveNoPoints) {
  const std::vector<FailureCase> cases{
      {[](ConfigSpaceScene&) {}, {0.5, 0.5}, -1},
      // The planner's direct check passes, the driver's re-check fails and so does every detour.
      {[](ConfigSpaceScene& scene) { scene.rejectMotionsAfter(1); }, {-0.5, -0.5}, -7},
      {[](ConfigSpaceScene& scene) { scene.setVelocityAndAccelerationLimits({}, {}); }, {-0.5, -0.5}, -3},
      {[](ConfigSpaceScene& scene) { scene.setVelocityAndAccelerationLimits({1.0}, {1.0}); }, {-0.5, -0.5}, -3},
      {[](ConfigSpaceScene& scene) { scene.setVelocityAndAccelerationLimits({1.0, 0.0}, {3.0, 3.0}); }, {-0.5, -0.5},
       -8},
  };
  for (const FailureCase& failure : cases) {
    ConfigSpaceScene scene(std::vector<std::pair<double, double>>(2, {-1.0, 1.0}));
    scene.addObstacle({{0.4, 0.4}, {0.6, 0.6}});
    failure.set_up(scene);
    const DriverRun run = drive(scene, false, failure.start, {0.5, -0.5});
    EXPECT_EQ(run.code, failure.code) << run.output;
    EXPECT_TRUE(run.points.empty());
  }
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

}  // namespace
