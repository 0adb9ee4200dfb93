#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "planning/path_plan_and_post_processing.h"
#include "support/captured_output.h"
#include "support/config_space_scene.h"

namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct DriverRun {
  int code;
  std::vector<TrajectoryPoint> points;
  std::string output;
};

// Runs one driver on a fresh facade with reproducible seeds and a clock that stands still.
DriverRun drive(ConfigSpaceScene& scene, bool simulation, const std::vector<double>& start,
                const std::vector<double>& goal) {
  PathPlanAndPostProcessing facade(&scene, {seededSource(42), [] { return std::int64_t{0}; }});
  DriverRun run{0, std::vector<TrajectoryPoint>(2), ""};
  run.output = capturedOutput([&] {
    run.code = simulation ? facade.pathPlanAndSimplifySimulation(start, goal, run.points)
                          : facade.pathPlanAndSimplify(start, goal, run.points);
  });
  return run;
}

struct FailureCase {
  std::vector<double> start;
  std::vector<double> goal;
  int code;
  std::function<void(ConfigSpaceScene&)> set_up = [](ConfigSpaceScene&) {};
};

// In [-1, 1]^2 with an obstacle around (0.5, 0.5). The search limits (-5, -6) are the planner's own test's.
TEST(PathPlanAndPostProcessing, FailuresComeInTheirOrderAndLeaveNoPoints) {
  const std::vector<FailureCase> cases{
      {{0.5, 0.5}, {5.0, 0.0}, -1},  // a start in collision before the goal's range
      {{0.5, 0.5}, {0.0}, -1},
      {{-5.0, 0.0}, {0.5, 0.5}, -2},
      {{0.0, 1.5}, {2.0, 0.0}, -3},
      {{0.0, kNan}, {0.0, 0.0}, -3},
      {{-kInf, 0.0}, {0.0, 0.0}, -3},
      {{0.0}, {0.0, 0.0}, -3},
      {{}, {0.0, 0.0}, -3},
      {{0.0, 0.0}, {-1.25, 0.0}, -4},
      {{0.0, 0.0}, {0.0, kInf}, -4},
      {{0.0, 0.0}, {0.0, 0.0, 0.0}, -4},
      // The planner's direct check passes, the driver's re-check fails and so does every detour.
      {{-0.5, -0.5}, {0.5, -0.5}, -7, [](ConfigSpaceScene& scene) { scene.rejectMotionsAfter(1); }},
      {{-0.5, -0.5}, {0.5, -0.5}, -3, [](ConfigSpaceScene& scene) { scene.setVelocityAndAccelerationLimits({}, {}); }},
      {{-0.5, -0.5}, {0.5, -0.5}, -3,
       [](ConfigSpaceScene& scene) { scene.setVelocityAndAccelerationLimits({1.0}, {1.0}); }},
      {{-0.5, -0.5}, {0.5, -0.5}, -8,
       [](ConfigSpaceScene& scene) { scene.setVelocityAndAccelerationLimits({1.0, 0.0}, {3.0, 3.0}); }},
  };
  for (const FailureCase& failure : cases) {
    ConfigSpaceScene scene(std::vector<std::pair<double, double>>(2, {-1.0, 1.0}));
    scene.addObstacle({{0.4, 0.4}, {0.6, 0.6}});
    failure.set_up(scene);
    const DriverRun run = drive(scene, false, failure.start, failure.goal);
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
  const std::size_t banner = simulation.output.find("simpfily Simulation---");
  ASSERT_NE(banner, std::string::npos);
  simulation.output.erase(banner + 8, 11);
  EXPECT_EQ(simulation.output, real.output);
  EXPECT_EQ(simulation.points, real.points);
}

}  // namespace
