// Waypoint repair on hand-made paths in [-1, 1]^n, past a wall and a solid block; joints beyond the second sit
// 0.1 below their upper bound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "support/seeded_planner.h"

namespace {

using Motion = ConfigSpaceScene::CheckedMotion;

constexpr double kMargin = 0.05;
constexpr double kReach = 0.2;  // of a candidate from the waypoint it replaces, per joint

// A wall [-0.1, 0.1] x [-1, 0.3] and a block [0.5, 0.9] x [-0.9, -0.5], both across every further joint.
ConfigSpaceScene wallAndBlockScene(int dof) {
  ConfigSpaceScene scene(std::vector<std::pair<double, double>>(dof, {-1.0, 1.0}));
  JointBox wall{std::vector<double>(dof, -1.0), std::vector<double>(dof, 1.0)};
  JointBox block = wall;
  wall.lower[0] = -0.1;
  wall.upper[0] = 0.1;
  wall.upper[1] = 0.3;
  block.lower[0] = 0.5;
  block.upper[0] = 0.9;
  block.lower[1] = -0.9;
  block.upper[1] = -0.5;
  scene.addObstacle(wall);
  scene.addObstacle(block);
  scene.setMargin(kMargin);
  return scene;
}

JointPath lifted(const JointPath& plane, int dof) {
  JointPath path = plane;
  for (std::vector<double>& waypoint : path) waypoint.resize(dof, 0.9);
  return path;
}

StepOutcome repair(ConfigSpaceScene& scene, const JointPath& path, std::uint32_t seed) {
  return runStep(scene, path, seed, [](RRTConnectPlanner& planner, JointPath& repaired) {
    planner.awayFromObstacle(repaired);
    return false;
  });
}

TEST(WaypointRepair, PathsOfAtMostTwoWaypointsAreLeftWithOnlyTheirMessage) {
  for (const JointPath& path : {JointPath{}, JointPath{{0.7, -0.7}}, JointPath{{-0.5, 0.0}, {0.5, 0.0}}}) {
    SCOPED_TRACE(testing::Message() << path.size() << " waypoints");
    ConfigSpaceScene scene = wallAndBlockScene(2);
    const StepOutcome repaired = repair(scene, path, 1);
    EXPECT_EQ(repaired.path, path);
    EXPECT_EQ(repaired.output, "\033[33mNo need to away from obstacle~ \033[0m\n");
    EXPECT_EQ(repaired.seeds, 0);
    EXPECT_TRUE(repaired.asked.empty());
  }
}

// Over the wall with room to spare: nothing is tried, only every segment tested before and after; three
// waypoints gain the midpoints of their segments.
TEST(WaypointRepair, PassingPathsKeepTheirWaypointsAndThreeGetTheirMidpoints) {
  const JointPath three{{-0.8, 0.6}, {-0.4, 0.8}, {0.4, 0.8}};
  const JointPath five{{-0.8, 0.6}, {-0.4, 0.8}, {0.0, 0.6}, {0.4, 0.8}, {0.8, 0.6}};
  for (const int dof : {2, 3}) {
    for (const JointPath& plane : {three, five}) {
      SCOPED_TRACE(testing::Message() << plane.size() << " waypoints of " << dof << " joints");
      ConfigSpaceScene scene = wallAndBlockScene(dof);
      const JointPath path = lifted(plane, dof);
      JointPath expected = path;
      if (path.size() == 3) {
        expected = {path[0], interpolateWaypoints(path[0], path[1], 0.5), path[1],
                    interpolateWaypoints(path[1], path[2], 0.5), path[2]};
      }
      const StepOutcome repaired = repair(scene, path, 1);
      EXPECT_EQ(repaired.path, expected);
      EXPECT_EQ(repaired.seeds, 1);
      std::vector<Motion> segment_tests;  // with the margin, before the tries and again after them
      for (int round = 0; round < 2; ++round) {
        for (std::size_t k = 0; k + 1 < expected.size(); ++k) {
          segment_tests.push_back({expected[k], expected[k + 1], true});
        }
      }
      EXPECT_EQ(repaired.asked, segment_tests);
    }
  }
}

// Which waypoints are replaced, and what every try asks: a candidate around the old waypoint, within the bounds,
// joined to the waypoint before it (waypoint 1: by the standard test from the first waypoint; later ones: by the
// margin test from the repaired one) and by the standard test to the old next waypoint.
TEST(WaypointRepair, OnlyFailingInnerWaypointsAreReplacedByNearbyCandidatesThatPassTheirTests) {
  struct Case {
    const char* what;
    JointPath plane;
    std::set<std::size_t> replaced;
  };
  const std::vector<Case> cases{
      // Waypoint 1 passes, though its segment from the first waypoint grazes the wall; waypoint 2's segment from
      // waypoint 1 grazes the wall too. The ends lie within the margin.
      {"segments grazing the wall", {{0.0, 0.33}, {0.5, 0.33}, {-0.5, 0.34}, {-0.5, 0.8}, {0.0, 0.33}}, {2}},
      // Waypoint 1 lies within the margin above the block; waypoint 2 is judged by its segment from the old
      // waypoint 1.
      {"a waypoint within the margin", {{0.3, -0.2}, {0.7, -0.49}, {0.7, 0.0}, {0.3, 0.2}}, {1, 2}},
      // Waypoint 2 lies within the margin beside the wall, which hides the last waypoint from many candidates.
      {"a waypoint within the margin beside the wall", {{-0.8, 0.8}, {-0.5, 0.5}, {-0.13, 0.2}, {0.5, 0.9}}, {2}},
  };
  for (const Case& c : cases) {
    for (const int dof : {2, 3}) {
      for (std::uint32_t seed = 1; seed <= 15; ++seed) {
        SCOPED_TRACE(testing::Message() << c.what << ", " << dof << " joints, seed " << seed);
        ConfigSpaceScene scene = wallAndBlockScene(dof);
        const JointPath old = lifted(c.plane, dof);
        const StepOutcome repaired = repair(scene, old, seed);
        const JointPath& now = repaired.path;
        ASSERT_EQ(now.size(), old.size());
        std::set<std::size_t> replaced;
        for (std::size_t k = 0; k < old.size(); ++k) {
          if (now[k] != old[k]) replaced.insert(k);
        }
        EXPECT_EQ(replaced, c.replaced);
        EXPECT_EQ(repaired.seeds, 1);

        // The tries lie between the segment tests before and after them, two motions each.
        const std::size_t flags = old.size() - 1;
        ASSERT_GE(repaired.asked.size(), 2 * flags);
        const std::vector<Motion> tries(repaired.asked.begin() + flags, repaired.asked.end() - flags);
        ASSERT_EQ(tries.size() % 2, 0u);
        std::vector<int> try_count(old.size(), 0);
        for (std::size_t t = 0; t < tries.size(); t += 2) {
          const Motion& from_previous = tries[t];
          const Motion& to_next = tries[t + 1];
          std::size_t k = 1;
          while (k + 1 < old.size() && to_next.to != old[k + 1]) ++k;
          ASSERT_LT(k + 1, old.size()) << "try " << t / 2;
          ++try_count[k];
          EXPECT_EQ(from_previous.from, now[k - 1]);
          EXPECT_EQ(from_previous.to, to_next.from);
          EXPECT_EQ(std::pair(from_previous.with_margin, to_next.with_margin), std::pair(k > 1, false)) << k;
          for (int j = 0; j < dof; ++j) {
            EXPECT_LE(std::fabs(to_next.from[j] - old[k][j]), kReach) << k;
            EXPECT_LE(std::fabs(to_next.from[j]), 1.0) << k;
          }
        }
        for (const std::size_t k : replaced) {
          EXPECT_TRUE(scene.isStateValidWithMargin(now[k].data())) << k;
          EXPECT_TRUE(k == 1 ? scene.checkMotion(now[0].data(), now[1].data())
                             : scene.checkMotionWithMargin(now[k - 1].data(), now[k].data()))
              << k;
          EXPECT_TRUE(scene.checkMotion(now[k].data(), old[k + 1].data())) << k;
          const std::string success = "Try \033[33m" + std::to_string(try_count[k]) +
                                      "\033[0m times successfully for the new waypoint :-), No." + std::to_string(k);
          EXPECT_NE(repaired.output.find(success), std::string::npos) << repaired.output;
        }
      }
    }
  }
}

// Waypoint 1 lies deep in the block and waypoint 2 can only be reached through it: both stay as they were after
// twenty tries each.
TEST(WaypointRepair, AWaypointNoCandidateCanReplaceStaysAfterTwentyTries) {
  for (const int dof : {2, 3}) {
    SCOPED_TRACE(testing::Message() << dof << " joints");
    ConfigSpaceScene scene = wallAndBlockScene(dof);
    const JointPath path = lifted({{0.3, -0.7}, {0.7, -0.7}, {0.7, -0.2}, {0.3, -0.2}}, dof);
    const StepOutcome repaired = repair(scene, path, 2);
    EXPECT_EQ(repaired.path, path);
    const std::size_t segment_tests = 2 * 3, tries = 2 * 20;
    EXPECT_EQ(repaired.asked.size(), segment_tests + 2 * tries);
    for (const char* k : {"1", "2"}) {
      const std::string failure =
          std::string("Try \033[33m20\033[0m times but failed for the new waypoint :-(, No.") + k;
      EXPECT_NE(repaired.output.find(failure), std::string::npos) << repaired.output;
    }
  }
}

}  // namespace
