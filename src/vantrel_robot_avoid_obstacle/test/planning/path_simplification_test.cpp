// Shortcuts, vertex reduction and the collapse of close vertices on hand-made paths round a block in
// [-1, 1]^2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/captured_output.h"
#include "support/seeded_planner.h"

namespace {

using Motion = ConfigSpaceScene::CheckedMotion;

// The block [-0.2, 0.2]^2; the margin check grows it by 0.05.
ConfigSpaceScene blockScene() {
  ConfigSpaceScene scene(std::vector<std::pair<double, double>>(2, {-1.0, 1.0}));
  scene.addObstacle({{-0.2, -0.2}, {0.2, 0.2}});
  scene.setMargin(0.05);
  scene.recordMotions();
  return scene;
}

using Step = bool (*)(RRTConnectPlanner&, JointPath&);

template <bool (RRTConnectPlanner::*step)(JointPath&)>
bool reported(RRTConnectPlanner& planner, JointPath& path) {
  return (planner.*step)(path);
}

template <void (RRTConnectPlanner::*step)(JointPath&)>
bool unreported(RRTConnectPlanner& planner, JointPath& path) {
  (planner.*step)(path);
  return false;
}

struct Method {
  const char* name;
  Step run;  // its result, false when it reports none
  bool reports_change;
  bool with_margin;      // its motions are checked with the margin
  bool only_removes;     // it never adds or moves a waypoint
  int uncounted_checks;  // motions it asks without counting them
};

using Planner = RRTConnectPlanner;
const Method kShortcut{"shortcutPath", reported<&Planner::shortcutPath>, true, false, false, 0};
const Method kRandomShortcut{"randomShortcut", unreported<&Planner::randomShortcut>, false, true, false, 0};
const Method kReduce{"reduceVertices", reported<&Planner::reduceVertices>, true, false, true, 0};
const Method kReduceWithMargin{
    "reduceVerticesWithMargin", reported<&Planner::reduceVerticesWithMargin>, true, true, true, 0};
const Method kCollapse{"collapseCloseVertices", unreported<&Planner::collapseCloseVertices>, false, false, true, 0};
// Its first, direct test of the ends is not counted.
const Method kSimplify{"simplifyPath", unreported<&Planner::simplifyPath>, false, false, false, 1};
const std::vector<Method> kMethods{kShortcut, kRandomShortcut, kReduce, kReduceWithMargin, kCollapse, kSimplify};

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
      ConfigSpaceScene scene = blockScene();
      SeededPlanner seeded(scene, 1);
      JointPath result = path;
      bool changed = true;
      const std::string output = capturedOutput([&] { changed = method.run(seeded.planner, result); });
      EXPECT_FALSE(changed);
      EXPECT_EQ(result, path);
      EXPECT_TRUE(scene.checkedMotions().empty());
      EXPECT_EQ(seeded.seeds, 0);
      EXPECT_EQ(output,
                std::string(method.name) == "simplifyPath" ? "\033[33mNo need to Simplify the Path~ \033[0m\n" : "");
    }
  }
}

TEST(PathSimplification, AFreeStraightMotionFromFirstToLastLeavesOnlyTheEndsAndCountsNoCheck) {
  ConfigSpaceScene scene = blockScene();
  SeededPlanner seeded(scene, 1);
  JointPath path = kZigzag;
  const std::string output = capturedOutput([&] { seeded.planner.simplifyPath(path); });
  EXPECT_EQ(path, (JointPath{kZigzag.front(), kZigzag.back()}));
  EXPECT_EQ(seeded.planner.checkCount(), 0);
  ASSERT_EQ(scene.checkedMotions().size(), 1u);
  EXPECT_EQ(scene.checkedMotions()[0].from, kZigzag.front());
  EXPECT_NE(output.find("Simplify Path direct cost:"), std::string::npos) << output;
  EXPECT_EQ(output.find("Shortcut Path check num:"), std::string::npos) << output;
}

// Whatever the draws: the ends stay, the path gets no longer, every motion asked is of the method's own
// variant and counted, every segment of the result passes it, and removals keep the other waypoints as they were.
TEST(PathSimplification, EveryChangeIsOneTheMethodsOwnCheckAccepted) {
  for (const Method& method : kMethods) {
    for (std::uint32_t seed = 1; seed <= 25; ++seed) {
      SCOPED_TRACE(testing::Message() << method.name << ", seed " << seed);
      ConfigSpaceScene scene = blockScene();
      SeededPlanner seeded(scene, seed);
      JointPath path = kRoundTheBlock;
      capturedOutput([&] { method.run(seeded.planner, path); });
      ASSERT_GE(path.size(), 2u);
      EXPECT_EQ(path.front(), kRoundTheBlock.front());
      EXPECT_EQ(path.back(), kRoundTheBlock.back());
      EXPECT_LE(pathLength(path), pathLength(kRoundTheBlock) + 1e-12);
      const std::vector<Motion>& asked = scene.checkedMotions();
      for (const Motion& motion : asked) EXPECT_EQ(motion.with_margin, method.with_margin);
      EXPECT_EQ(seeded.planner.checkCount(), static_cast<int>(asked.size()) - method.uncounted_checks);
      for (std::size_t k = 0; k + 1 < path.size(); ++k) {
        EXPECT_TRUE(method.with_margin ? scene.checkMotionWithMargin(path[k].data(), path[k + 1].data())
                                       : scene.checkMotion(path[k].data(), path[k + 1].data()))
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
      ConfigSpaceScene scene = blockScene();
      SeededPlanner seeded(scene, seed);
      JointPath path = arch;
      const bool changed = method.run(seeded.planner, path);
      for (const Motion& motion : scene.checkedMotions()) {
        EXPECT_EQ(std::pair(motion.from, motion.to), std::pair(arch[0], arch[2]));
      }
      const bool removes = !method.with_margin && !scene.checkedMotions().empty();
      EXPECT_EQ(changed, removes);
      EXPECT_EQ(path, removes ? JointPath({arch[0], arch[2]}) : arch);
      standard_removals += removes;
    }
  }
  EXPECT_GT(standard_removals, 0);
}

// N waypoints at entry make N attempts, one seed each, however much the path changes meanwhile.
TEST(PathSimplification, ShortcutsAndReductionsMakeOneAttemptPerWaypointAtEntry) {
  for (const Method& method : {kShortcut, kRandomShortcut, kReduce, kReduceWithMargin}) {
    for (const bool rejects_all : {false, true}) {
      SCOPED_TRACE(testing::Message() << method.name << (rejects_all ? ", every motion refused" : ", free"));
      ConfigSpaceScene scene = blockScene();
      if (rejects_all) scene.rejectMotionsAfter(0);
      SeededPlanner seeded(scene, 7);
      JointPath path = kZigzag;
      const bool changed = method.run(seeded.planner, path);
      EXPECT_EQ(seeded.seeds, static_cast<int>(kZigzag.size()));
      EXPECT_EQ(path != kZigzag, !rejects_all);
      if (method.reports_change) {
        EXPECT_EQ(changed, !rejects_all);
      }
    }
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
      ConfigSpaceScene scene = blockScene();
      scene.rejectMotionsAfter(0);
      SeededPlanner seeded(scene, seed);
      JointPath path = kZigzag;
      method.run(seeded.planner, path);
      for (const Motion& motion : scene.checkedMotions()) {
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

// A path of one repeated point has no length: both ends of every shortcut fall on its first waypoint.
TEST(PathSimplification, ShortcutsOnAPathWithoutLengthTestNothing) {
  const JointPath still(6, {0.5, -0.5});
  for (const Method& method : {kShortcut, kRandomShortcut}) {
    SCOPED_TRACE(method.name);
    ConfigSpaceScene scene = blockScene();
    SeededPlanner seeded(scene, 5);
    JointPath path = still;
    EXPECT_FALSE(method.run(seeded.planner, path));
    EXPECT_EQ(path, still);
    EXPECT_EQ(seeded.seeds, 6);
    EXPECT_TRUE(scene.checkedMotions().empty());
  }
}

// Nothing can change: one shortcut call and one reduction, each of one attempt per waypoint; no final
// reduction, so its count repeats the collapse's.
TEST(PathSimplification, SimplifyingAPathThatCannotChangeStopsEachStageAfterItsFirstRound) {
  ConfigSpaceScene scene = blockScene();
  scene.rejectMotionsAfter(0);
  SeededPlanner seeded(scene, 3);
  JointPath path = kRoundTheBlock;
  const std::string output = capturedOutput([&] { seeded.planner.simplifyPath(path); });
  EXPECT_EQ(path, kRoundTheBlock);
  EXPECT_EQ(seeded.seeds, 2 * static_cast<int>(kRoundTheBlock.size()));
  const std::string collapse_count = "Collapse Path check num: " + std::to_string(seeded.planner.checkCount());
  const std::string final_count = "Reduce Path check num after: " + std::to_string(seeded.planner.checkCount());
  EXPECT_NE(output.find(collapse_count), std::string::npos) << output;
  EXPECT_NE(output.find(final_count), std::string::npos) << output;
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
    ConfigSpaceScene scene = blockScene();
    if (c.rejects_all) scene.rejectMotionsAfter(0);
    SeededPlanner seeded(scene, 1);
    JointPath path{p0, p1, p2, p3, p4, p5};
    seeded.planner.collapseCloseVertices(path);
    std::vector<Ends> asked;
    for (const Motion& motion : scene.checkedMotions()) asked.emplace_back(motion.from, motion.to);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(path, c.result);
    EXPECT_EQ(seeded.planner.checkCount(), static_cast<int>(c.asked.size()));
    EXPECT_EQ(seeded.seeds, 0);
  }
}

TEST(InterpolateWaypoints, EndsMiddleAndLengths) {
  const std::vector<double> from{-M_PI, 0.0, -1e9}, to{M_PI, -M_PI / 2, 1e9};
  EXPECT_EQ(interpolateWaypoints(from, to, 0.0), from);
  EXPECT_EQ(interpolateWaypoints(from, to, 0.5), (std::vector<double>{0.0, -M_PI / 4, 0.0}));
  const std::vector<double> at_one = interpolateWaypoints(from, to, 1.0);
  ASSERT_EQ(at_one.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(at_one[k], to[k]) << k;
  EXPECT_EQ(interpolateWaypoints({1.0}, {3.0, 7.0}, 0.5), std::vector<double>{2.0});
  EXPECT_TRUE(interpolateWaypoints({}, {1.0}, 0.5).empty());
}

}  // namespace
