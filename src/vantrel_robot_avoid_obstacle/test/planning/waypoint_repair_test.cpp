#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "planning/rrt_connect.h"
#include "support/config_space_scene.h"
#include "support/joint_space_scenes.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

struct Repaired {
  JointPath path;
  std::string output;
};

Repaired repair(ConfigSpaceScene& scene, JointPath path, std::uint32_t seed = 1) {
  CountingSeedSource seeds(seed);
  RRTConnectPlanner planner(&scene, {seeds.source(), [] { return std::int64_t{0}; }});
  CaptureStdout();
  planner.awayFromObstacle(path);
  return {std::move(path), GetCapturedStdout()};
}

ConfigSpaceScene unitSquare() { return ConfigSpaceScene(std::vector<std::pair<double, double>>(2, {0.0, 1.0})); }

TEST(WaypointRepair, TwoWaypointsAreLeftAlone) {
  ConfigSpaceScene scene = unitSquare();
  const JointPath path{{0.1, 0.1}, {0.9, 0.9}};
  const Repaired result = repair(scene, path);
  EXPECT_EQ(result.path, path);
  EXPECT_EQ(result.output, "\033[33mNo need to away from obstacle~ \033[0m\n");
}

TEST(WaypointRepair, ThreeWaypointsGainTheirMidpoints) {
  ConfigSpaceScene scene = unitSquare();
  const Repaired result = repair(scene, {{0.0, 0.0}, {0.5, 1.0}, {1.0, 0.0}});
  EXPECT_EQ(result.path, (JointPath{{0.0, 0.0}, {0.25, 0.5}, {0.5, 1.0}, {0.75, 0.5}, {1.0, 0.0}}));
  EXPECT_EQ(result.output,
            "is_valid_flag : 1\nis_valid_flag : 1\nis_valid_flag : 1\nis_valid_flag : 1\nis_valid_flag : 1\n"
            "verify check motion vector 1 1 1 1 \n"
            "size~~~~~~~~~~~: 5\n"
            "is_valid_flag after modify : 1\nis_valid_flag after modify : 1\nis_valid_flag after modify : 1\n"
            "is_valid_flag after modify : 1\nis_valid_flag after modify : 1\n"
            "check_motion_flag after modify:1\ncheck_motion_flag after modify:1\n"
            "check_motion_flag after modify:1\ncheck_motion_flag after modify:1\n"
            "\033[33mAway from obstacle cost:0us\033[0m\n");
}

TEST(WaypointRepair, WaypointTooDeepInAnObstacleStaysAfterTwentyTries) {
  ConfigSpaceScene scene = unitSquare();
  scene.addObstacle({{0.2, 0.2}, {0.8, 0.8}});
  const JointPath path{{0.1, 0.1}, {0.5, 0.5}, {0.9, 0.1}, {0.9, 0.9}};
  const Repaired result = repair(scene, path);
  EXPECT_EQ(result.path, path);
  EXPECT_NE(result.output.find("Try \033[33m20\033[0m times but failed for the new waypoint :-(, No.1\n"),
            std::string::npos);
}

TEST(WaypointRepair, RepairedWaypointLeavesTheMarginAndStaysInsideTheBounds) {
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ConfigSpaceScene scene = unitSquare();
    // Waypoint 1 sits on the upper bound of joint 0, inside an obstacle's margin.
    scene.addObstacle({{0.97, 0.45}, {0.99, 0.47}});
    scene.setMargin(0.03);
    const JointPath path{{0.5, 0.2}, {1.0, 0.5}, {0.5, 0.8}, {0.4, 0.9}};
    const Repaired result = repair(scene, path, seed);
    ASSERT_EQ(result.path.size(), 4u);
    const std::vector<double>& moved = result.path[1];
    EXPECT_NE(moved, path[1]);
    EXPECT_LE(moved[0], 1.0);
    EXPECT_GE(moved[0], 0.8);
    EXPECT_NEAR(moved[1], 0.5, 0.2);
    EXPECT_TRUE(scene.isStateValidWithMargin(moved.data()));
    EXPECT_NE(result.output.find("times successfully for the new waypoint :-), No.1\n"), std::string::npos);
    EXPECT_EQ(result.path[0], path[0]);
    EXPECT_EQ(result.path[2], path[2]);
  }
}

TEST(WaypointRepair, SegmentFailingTheMarginRepairsOnlyFromTheSecondWaypoint) {
  ConfigSpaceScene scene = unitSquare();
  // Blocks the margin motion of segment 0 -> 1 and of segment 1 -> 2 but no waypoint.
  scene.addObstacle({{0.28, 0.0}, {0.3, 0.02}});
  scene.addObstacle({{0.48, 0.0}, {0.5, 0.02}});
  scene.setMargin(0.05);
  const JointPath path{{0.2, 0.05}, {0.4, 0.05}, {0.6, 0.05}, {0.8, 0.5}};
  const Repaired result = repair(scene, path, 2);
  EXPECT_NE(result.output.find("verify check motion vector 0 0 1 \n"), std::string::npos);
  EXPECT_EQ(result.path[1], path[1]);
  EXPECT_NE(result.path[2], path[2]);
  EXPECT_EQ(result.output.find("No.1\n"), std::string::npos);
  EXPECT_NE(result.output.find("No.2\n"), std::string::npos);
}

TEST(WaypointRepair, EndWaypointsAreNeverMoved) {
  ConfigSpaceScene scene = unitSquare();
  scene.addObstacle({{0.0, 0.0}, {0.12, 0.12}});
  const JointPath path{{0.1, 0.1}, {0.5, 0.5}, {0.6, 0.5}, {0.9, 0.9}};
  const Repaired result = repair(scene, path);
  EXPECT_EQ(result.path, path);
  EXPECT_EQ(result.output.rfind("is_valid_flag : 0\n", 0), 0u);
}

}  // namespace
