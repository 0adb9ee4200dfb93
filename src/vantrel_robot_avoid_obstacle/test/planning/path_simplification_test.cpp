// Shortcuts, vertex reduction and the collapse of close vertices on hand-made paths round a block in
// [-1, 1]^2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/seeded_planner.h"

namespace {

using Motion = ConfigSpaceScene::CheckedMotion;
using Planner = RRTConnectPlanner;

template <bool (Planner::*step)(JointPath&)>
bool reported(Planner& planner, JointPath& path) {
  return (planner.*step)(path);
}

template <void (Planner::*step)(JointPath&)>
bool unreported(Planner& planner, JointPath& path) {
  (planner.*step)(path);
  return false;
}

struct Method {
  const char* name;
  bool (*run)(Planner&, JointPath&);  // its result, false when it reports none
  bool reports_change;
  bool with_margin;      // its motions are checked with the margin
  bool only_removes;     // it never adds or moves a waypoint
  int uncounted_checks;  // motions it asks without counting them
};

const Method kShortcut{"shortcutPath", reported<&Planner::shortcutPath>, true, false, false, 0};
const Method kRandomShortcut{"randomShortcut", unreported<&Planner::randomShortcut>, false, true, false, 0};
const Method kReduce{"reduceVertices", reported<&Planner::reduceVertices>, true, false, true, 0};
const Method kReduceWithMargin{
    "reduceVerticesWithMargin", reported<&Planner::reduceVerticesWithMargin>, true, true, true, 0};
const Method kCollapse{"collapseCloseVertices", unreported<&Planner::collapseCloseVertices>, false, false, true, 0};
// Its first, direct test of the ends is not counted.
const Method kSimplify{"simplifyPath", unreported<&Planner::simplifyPath>, false, false, false, 1};
const std::vector<Method> kMethods{kShortcut, kRandomShortcut, kReduce, kReduceWithMargin, kCollapse, kSimplify};

// The block [-0.2, 0.2]^2 in [-1, 1]^2; the margin check grows it by 0.05.
ConfigSpaceScene blockScene() {
  ConfigSpaceScene scene(std::vector<std::pair<double, double>>(2, {-1.0, 1.0}));
  scene.addObstacle({{-0.2, -0.2}, {0.2, 0.2}});
  scene.setMargin(0.05);
  return scene;
}

// The method on a copy of `path` round the block, every motion refused when `rejects_all`.
StepOutcome simplified(const Method& method, const JointPath& path, std::uint32_t seed, bool rejects_all = false) {
  ConfigSpaceScene scene = blockScene();
  if (rejects_all) scene.rejectMotionsAfter(0);
  return runStep(scene, path, seed, method.run);
}

double pathLength(const JointPath& path) {
  double length = 0.0;
  for (std::size_t k = 1; k < path.size(); ++k) length += waypointDistance(path[k - 1], path[k]);
  return length;
}

// Arc-length position of a point on the path, taken on the segment nearest to it.
double arcPosition(const JointPath& path, const std::vector<double>& point) {
  double best_distance = std::numeric_limits<double>::infinity(), best_arc = 0.0, start = 0.0;
  for (std::size_t k = 0; k + 1 < path.size(); ++k) {
    const double length = waypointDistance(path[k], path[k + 1]);
    double along = 0.0;
    for (std::size_t j = 0; j < point.size(); ++j) along += (point[j] - path[k][j]) * (path[k + 1][j] - path[k][j]);
    const double t = std::clamp(along / (length * length), 0.0, 1.0);
    const double distance = waypointDistance(point, interpolateWaypoints(path[k], path[k + 1], t));
    if (distance < best_distance) {
      best_distance = distance;
      best_arc = start + t * length;
    }
    start += length;
  }
  return best_arc;
}

bool isSubsequence(const JointPath& part, const JointPath& whole) {
  std::size_t k = 0;
  for (const std::vector<double>& waypoint : whole) {
    if (k < part.size() && part[k] == waypoint) ++k;
  }
  return k == part.size();
}

// Close round the block over its top, clear of it by more than the margin everywhere: most shortcuts that
// cut a corner hit the block.
const JointPath kRoundTheBlock{{-0.6, 0.0}, {-0.3, 0.0},  {-0.35, 0.3}, {-0.1, 0.35},
                               {0.1, 0.3},  {0.35, 0.35}, {0.3, 0.0},   {0.6, 0.0}};
// Back and forth left of the block: the straight motion from its first to its last waypoint is free.
const JointPath kZigzag{{-0.9, -0.9}, {-0.5, -0.7}, {-0.9, -0.5}, {-0.5, -0.3},
                        {-0.9, -0.1}, {-0.5, 0.1},  {-0.9, 0.3},  {-0.5, 0.5}};

TEST(PathSimplification, PathsOfAtMostTwoWaypointsAreLeftWithoutACheckOrADraw) {
  for (const JointPath& path : {JointPath{}, JointPath{{0.5, 0.5}}, JointPath{{-0.9, 0.0}, {0.9, 0.0}}}) {
    for (const Method& method : kMethods) {
      SCOPED_TRACE(testing::Message() << method.name << " on " << path.size() << " waypoints");
      const StepOutcome run = simplified(method, path, 1);
      EXPECT_FALSE(run.changed);
      EXPECT_EQ(run.path, path);
      EXPECT_TRUE(run.asked.empty());
      EXPECT_EQ(run.seeds, 0);
      EXPECT_EQ(run.output, method.run == kSimplify.run ? "\033[33mNo need to Simplify the Path~ \033[0m\n" : "");
    }
  }
}

TEST(PathSimplification, AFreeStraightMotionFromFirstToLastLeavesOnlyTheEndsAndCountsNoCheck) {
  const StepOutcome run = simplified(kSimplify, kZigzag, 1);
  EXPECT_EQ(run.path, (JointPath{kZigzag.front(), kZigzag.back()}));
  EXPECT_EQ(run.counted, 0);
  ASSERT_EQ(run.asked.size(), 1u);
  EXPECT_EQ(run.asked[0].from, kZigzag.front());
  EXPECT_NE(run.output.find("Simplify Path direct cost:"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("Shortcut Path check num:"), std::string::npos) << run.output;
}

// Whatever the draws: the ends stay, the path gets no longer, every motion asked is of the method's own
// variant and counted, every segment of the result passes it, and removals keep the other waypoints as they were.
TEST(PathSimplification, EveryChangeIsOneTheMethodsOwnCheckAccepted) {
  ConfigSpaceScene judge = blockScene();
  for (const Method& method : kMethods) {
    for (std::uint32_t seed = 1; seed <= 25; ++seed) {
      SCOPED_TRACE(testing::Message() << method.name << ", seed " << seed);
      const StepOutcome run = simplified(method, kRoundTheBlock, seed);
      const JointPath& path = run.path;
      ASSERT_GE(path.size(), 2u);
      EXPECT_EQ(path.front(), kRoundTheBlock.front());
      EXPECT_EQ(path.back(), kRoundTheBlock.back());
      EXPECT_LE(pathLength(path), pathLength(kRoundTheBlock) + 1e-12);
      for (const Motion& motion : run.asked) EXPECT_EQ(motion.with_margin, method.with_margin);
      EXPECT_EQ(run.counted, static_cast<int>(run.asked.size()) - method.uncounted_checks);
      for (std::size_t k = 0; k + 1 < path.size(); ++k) {
        EXPECT_TRUE(method.with_margin ? judge.checkMotionWithMargin(path[k].data(), path[k + 1].data())
                                       : judge.checkMotion(path[k].data(), path[k + 1].data()))
            << "segment " << k;
      }
      if (method.only_removes) {
        EXPECT_TRUE(isSubsequence(path, kRoundTheBlock));
      }
    }
  }
}

// Over the block's top 0.02 above it: the standard check lets the middle waypoint go, the margin check never does.
// On three waypoints a draw of the middle one is skipped, so only the ends' motion is ever asked.
TEST(PathSimplification, ReductionOfThreeWaypointsTestsOnlyTheEndsWithItsOwnCheck) {
  const JointPath arch{{-0.6, 0.22}, {0.0, 0.6}, {0.6, 0.22}};
  int standard_removals = 0;
  for (const Method& method : {kReduce, kReduceWithMargin}) {
    for (std::uint32_t seed = 1; seed <= 10; ++seed) {
      SCOPED_TRACE(testing::Message() << method.name << ", seed " << seed);
      const StepOutcome run = simplified(method, arch, seed);
      for (const Motion& motion : run.asked) EXPECT_EQ(std::pair(motion.from, motion.to), std::pair(arch[0], arch[2]));
      const bool removes = !method.with_margin && !run.asked.empty();
      EXPECT_EQ(run.changed, removes);
      EXPECT_EQ(run.path, removes ? JointPath({arch[0], arch[2]}) : arch);
      standard_removals += removes;
    }
  }
  EXPECT_GT(standard_removals, 0);
}

// N waypoints at entry make N attempts, one seed each, however much the path changes meanwhile; a path of one
// repeated point has no length, so both ends of every shortcut fall on its first waypoint and nothing is tested.
TEST(PathSimplification, ShortcutsAndReductionsMakeOneAttemptPerWaypointAtEntry) {
  for (const Method& method : {kShortcut, kRandomShortcut, kReduce, kReduceWithMargin}) {
    for (const bool rejects_all : {false, true}) {
      SCOPED_TRACE(testing::Message() << method.name << (rejects_all ? ", every motion refused" : ", free"));
      const StepOutcome run = simplified(method, kZigzag, 7, rejects_all);
      EXPECT_EQ(run.seeds, static_cast<int>(kZigzag.size()));
      EXPECT_EQ(run.path != kZigzag, !rejects_all);
      EXPECT_EQ(run.changed, method.reports_change && !rejects_all);
    }
  }
  const JointPath still(6, {0.5, -0.5});
  for (const Method& method : {kShortcut, kRandomShortcut}) {
    SCOPED_TRACE(testing::Message() << method.name << " on a path without length");
    const StepOutcome run = simplified(method, still, 5);
    EXPECT_EQ(run.path, still);
    EXPECT_FALSE(run.changed);
    EXPECT_EQ(run.seeds, 6);
    EXPECT_TRUE(run.asked.empty());
  }
}

// Nothing changes the path, so every end of a shortcut lies on it: the two ends at most a third of its length
// apart (each end may have moved onto a waypoint within 0.5% of the length), an end that is no waypoint at least
// 0.5% from every waypoint.
TEST(PathSimplification, ShortcutEndsLieWithinAThirdOfThePathAndSnapOntoNearWaypoints) {
  const double length = pathLength(kZigzag), snap = 0.005 * length;
  std::vector<double> waypoint_arcs;
  for (const std::vector<double>& waypoint : kZigzag) waypoint_arcs.push_back(arcPosition(kZigzag, waypoint));
  for (const Method& method : {kShortcut, kRandomShortcut}) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
      SCOPED_TRACE(testing::Message() << method.name << ", seed " << seed);
      for (const Motion& motion : simplified(method, kZigzag, seed, true).asked) {
        EXPECT_LE(std::fabs(arcPosition(kZigzag, motion.to) - arcPosition(kZigzag, motion.from)),
                  0.33 * length + 2 * snap);
        for (const std::vector<double>& end : {motion.from, motion.to}) {
          if (std::find(kZigzag.begin(), kZigzag.end(), end) != kZigzag.end()) continue;
          for (const double arc : waypoint_arcs) EXPECT_GE(std::fabs(arcPosition(kZigzag, end) - arc), snap - 1e-12);
        }
      }
    }
  }
}

// Nothing can change: one shortcut call and one reduction, each of one attempt per waypoint; no final
// reduction, so its count repeats the collapse's.
TEST(PathSimplification, SimplifyingAPathThatCannotChangeStopsEachStageAfterItsFirstRound) {
  const StepOutcome run = simplified(kSimplify, kRoundTheBlock, 3, true);
  EXPECT_EQ(run.path, kRoundTheBlock);
  EXPECT_EQ(run.seeds, 2 * static_cast<int>(kRoundTheBlock.size()));
  for (const char* stage : {"Collapse Path check num: ", "Reduce Path check num after: "}) {
    EXPECT_NE(run.output.find(stage + std::to_string(run.counted)), std::string::npos) << run.output;
  }
}

// The closest pair of waypoints with one or more between them is tried first (the first of equal pairs in row
// order); a refused pair is never tried again; the stage ends after as many rounds as the path had waypoints.
TEST(PathSimplification, CollapseTriesTheClosestPairsFirstAndARefusedPairOnce) {
  const std::vector<double> p0{-0.6, 0.0}, p1{-0.6, 0.5}, p2{0.0, 0.5}, p3{0.6, 0.5}, p4{0.6, 0.0}, p5{0.6, -0.5};
  using Ends = std::pair<std::vector<double>, std::vector<double>>;
  struct Case {
    bool rejects_all;
    std::vector<Ends> asked;
    JointPath result;
  };
  const std::vector<Case> cases{
      // Round the block: (p0, p2) and (p2, p4) are free and closest; the rest cross the block.
      {false, {{p0, p2}, {p2, p4}, {p2, p5}, {p0, p4}, {p0, p5}}, {p0, p2, p4, p5}},
      // Six rounds over the ten pairs, in order of distance.
      {true, {{p0, p2}, {p2, p4}, {p3, p5}, {p2, p5}, {p0, p4}, {p1, p3}}, {p0, p1, p2, p3, p4, p5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rejects_all ? "every motion refused" : "round the block");
    const StepOutcome run = simplified(kCollapse, {p0, p1, p2, p3, p4, p5}, 1, c.rejects_all);
    std::vector<Ends> asked;
    for (const Motion& motion : run.asked) asked.emplace_back(motion.from, motion.to);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(run.path, c.result);
    EXPECT_EQ(run.counted, static_cast<int>(c.asked.size()));
    EXPECT_EQ(run.seeds, 0);
  }
}

// Ends and middle at joint bounds and huge values.
TEST(InterpolateWaypoints, EndsAndMiddle) {
  const std::vector<double> from{-M_PI, 0.0, -1e9}, to{M_PI, -M_PI / 2, 1e9};
  EXPECT_EQ(interpolateWaypoints(from, to, 0.0), from);
  EXPECT_EQ(interpolateWaypoints(from, to, 0.5), (std::vector<double>{0.0, -M_PI / 4, 0.0}));
  const std::vector<double> at_one = interpolateWaypoints(from, to, 1.0);
  ASSERT_EQ(at_one.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(at_one[k], to[k]) << k;
}

}  // namespace
