#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "planning/rrt_connect.h"
#include "support/captured_output.h"
#include "support/joint_space_scenes.h"

namespace {

struct Processed {
  JointPath path;
};

// Runs simplifyPath or awayFromObstacle with reproducible seeds and a clock that stands still.
Processed process(PlanSceneInterface& scene, JointPath path, bool repair, std::uint32_t seed = 1) {
  CountingSeedSource seeds(seed);
  RRTConnectPlanner planner(&scene, {seeds.source(), [] { return std::int64_t{0}; }});
  capturedOutput([&] { repair ? planner.awayFromObstacle(path) : planner.simplifyPath(path); });
  return {std::move(path)};
}

ConfigSpaceScene square(double lo, double hi) {
  return ConfigSpaceScene(std::vector<std::pair<double, double>>(2, {lo, hi}));
}

const JointPath kZigZag{{0, 0}, {1, 2}, {2, -1}, {3, 2}, {4, 0}};

TEST(PathSimplification, ZigZagInFreeSpaceCollapsesToItsEndsUnlessMotionsAreRejected) {
  ConfigSpaceScene scene = square(-5.0, 5.0);
  const Processed result = process(scene, kZigZag, false);
  EXPECT_EQ(result.path, (JointPath{{0, 0}, {4, 0}}));
  scene.rejectMotionsAfter(0);
  EXPECT_EQ(process(scene, kZigZag, false, 5).path, kZigZag) << "rejected motions change nothing";
}

TEST(PathSimplification, ChangesKeepTheEndsAndPassTheMotionCheck) {
  // A valid detour over the wall of the two-joint wall scene, with extra zig-zag waypoints.
  const JointPath detour{{-2.0, 0.0}, {-1.5, 0.6}, {-1.2, 0.3}, {-0.8, 1.0}, {-0.5, 1.3}, {-0.2, 1.1}, {0.0, 1.2},
                         {0.3, 1.3},  {0.6, 1.0},  {0.9, 1.4},  {1.2, 0.5},  {1.6, 0.7}, {2.0, 0.0}};
  for (std::uint32_t seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    auto scene = makeWallWithGapScene(2);
    const Processed result = process(*scene, detour, false, seed);
    ASSERT_GE(result.path.size(), 3u);
    EXPECT_LT(result.path.size(), detour.size());
    EXPECT_EQ(result.path.front(), detour.front());
    EXPECT_EQ(result.path.back(), detour.back());
    for (std::size_t k = 0; k + 1 < result.path.size(); ++k) {
      EXPECT_TRUE(scene->checkMotion(result.path[k].data(), result.path[k + 1].data())) << k;
    }
  }
}

TEST(WaypointRepair, ThreeWaypointsGainTheirMidpoints) {
  ConfigSpaceScene scene = square(0.0, 1.0);
  const Processed result = process(scene, {{0.0, 0.0}, {0.5, 1.0}, {1.0, 0.0}}, true);
  EXPECT_EQ(result.path, (JointPath{{0.0, 0.0}, {0.25, 0.5}, {0.5, 1.0}, {0.75, 0.5}, {1.0, 0.0}}));
}

TEST(WaypointRepair, WaypointTooDeepInAnObstacleStaysAfterTwentyTries) {
  ConfigSpaceScene scene = square(0.0, 1.0);
  scene.addObstacle({{0.2, 0.2}, {0.8, 0.8}});
  const JointPath path{{0.1, 0.1}, {0.5, 0.5}, {0.9, 0.1}, {0.9, 0.9}};
  const Processed result = process(scene, path, true);
  EXPECT_EQ(result.path, path);
}

TEST(WaypointRepair, RepairedWaypointLeavesTheMarginAndStaysInsideTheBounds) {
  const JointPath path{{0.5, 0.2}, {1.0, 0.5}, {0.5, 0.8}, {0.4, 0.9}};
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ConfigSpaceScene scene = square(0.0, 1.0);
    // Waypoint 1 sits on the upper bound of joint 0, inside an obstacle's margin.
    scene.addObstacle({{0.97, 0.45}, {0.99, 0.47}});
    scene.setMargin(0.03);
    const Processed result = process(scene, path, true, seed);
    ASSERT_EQ(result.path.size(), 4u);
    const std::vector<double>& moved = result.path[1];
    EXPECT_NE(moved, path[1]);
    EXPECT_LE(moved[0], 1.0);
    EXPECT_TRUE(scene.isStateValidWithMargin(moved.data()));
    EXPECT_EQ(result.path.front(), path.front());
    EXPECT_EQ(result.path.back(), path.back());
  }
}

}  // namespace
