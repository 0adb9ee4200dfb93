#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "planning/rrt_connect.h"
#include "support/captured_output.h"
#include "support/joint_space_scenes.h"

namespace {

// Runs simplifyPath or awayFromObstacle with reproducible seeds and a clock that stands still.
JointPath process(PlanSceneInterface& scene, JointPath path, bool repair, std::uint32_t seed = 1) {
  CountingSeedSource seeds(seed);
  RRTConnectPlanner planner(&scene, {seeds.source(), [] { return std::int64_t{0}; }});
  capturedOutput([&] { repair ? planner.awayFromObstacle(path) : planner.simplifyPath(path); });
  return path;
}

ConfigSpaceScene square(double lo, double hi) {
  return ConfigSpaceScene(std::vector<std::pair<double, double>>(2, {lo, hi}));
}

TEST(PathSimplification, ZigZagInFreeSpaceCollapsesToItsEndsUnlessMotionsAreRejected) {
  const JointPath zig_zag{{0, 0}, {1, 2}, {2, -1}, {3, 2}, {4, 0}};
  ConfigSpaceScene scene = square(-5.0, 5.0);
  EXPECT_EQ(process(scene, zig_zag, false), (JointPath{{0, 0}, {4, 0}}));
  scene.rejectMotionsAfter(0);
  EXPECT_EQ(process(scene, zig_zag, false, 5), zig_zag) << "rejected motions change nothing";
}

TEST(PathSimplification, ChangesKeepTheEndsAndPassTheMotionCheck) {
  // A valid detour over the wall of the two-joint wall scene, with extra zig-zag waypoints.
  const JointPath detour{{-2.0, 0.0}, {-1.5, 0.6}, {-1.2, 0.3}, {-0.8, 1.0}, {-0.5, 1.3}, {-0.2, 1.1}, {0.0, 1.2},
                         {0.3, 1.3},  {0.6, 1.0},  {0.9, 1.4},  {1.2, 0.5},  {1.6, 0.7}, {2.0, 0.0}};
  for (std::uint32_t seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    auto scene = makeWallWithGapScene(2);
    const JointPath result = process(*scene, detour, false, seed);
    ASSERT_GE(result.size(), 3u);
    EXPECT_LT(result.size(), detour.size());
    EXPECT_EQ(result.front(), detour.front());
    EXPECT_EQ(result.back(), detour.back());
    for (std::size_t k = 0; k + 1 < result.size(); ++k) {
      EXPECT_TRUE(scene->checkMotion(result[k].data(), result[k + 1].data())) << k;
    }
  }
}

TEST(WaypointRepair, ThreeWaypointsGainTheirMidpointsAndOneTooDeepInAnObstacleStays) {
  ConfigSpaceScene scene = square(0.0, 1.0);
  EXPECT_EQ(process(scene, {{0.0, 0.0}, {0.5, 1.0}, {1.0, 0.0}}, true),
            (JointPath{{0.0, 0.0}, {0.25, 0.5}, {0.5, 1.0}, {0.75, 0.5}, {1.0, 0.0}}));
  scene.addObstacle({{0.2, 0.2}, {0.8, 0.8}});
  const JointPath deep{{0.1, 0.1}, {0.5, 0.5}, {0.9, 0.1}, {0.9, 0.9}};
  EXPECT_EQ(process(scene, deep, true), deep);
}

TEST(WaypointRepair, RepairedWaypointLeavesTheMarginAndStaysInsideTheBounds) {
  const JointPath path{{0.5, 0.2}, {1.0, 0.5}, {0.5, 0.8}, {0.4, 0.9}};
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ConfigSpaceScene scene = square(0.0, 1.0);
    // Waypoint 1 sits on the upper bound of joint 0, inside an obstacle's margin.
    scene.addObstacle({{0.97, 0.45}, {0.99, 0.47}});
    scene.setMargin(0.03);
    const JointPath result = process(scene, path, true, seed);
    ASSERT_EQ(result.size(), 4u);
    EXPECT_NE(result[1], path[1]);
    EXPECT_LE(result[1][0], 1.0);
    EXPECT_TRUE(scene.isStateValidWithMargin(result[1].data()));
    EXPECT_EQ(result.front(), path.front());
    EXPECT_EQ(result.back(), path.back());
  }
}

}  // namespace
