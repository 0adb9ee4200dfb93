#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "planning/rrt_connect.h"
#include "support/config_space_scene.h"
#include "support/joint_space_scenes.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// Records every standard motion check it is asked.
class RecordingScene : public ConfigSpaceScene {
 public:
  using ConfigSpaceScene::ConfigSpaceScene;
  bool checkMotion(const double* from, const double* to) override {
    motions.emplace_back(std::vector<double>(from, from + dof()), std::vector<double>(to, to + dof()));
    return ConfigSpaceScene::checkMotion(from, to);
  }
  std::vector<std::pair<std::vector<double>, std::vector<double>>> motions;
};

RecordingScene freeSquare() { return RecordingScene(std::vector<std::pair<double, double>>(2, {-5.0, 5.0})); }

// A valid detour over the wall of the two-joint wall scene, with extra zig-zag waypoints.
JointPath detourOverWall() {
  return {{-2.0, 0.0}, {-1.5, 0.6}, {-1.2, 0.3}, {-0.8, 1.0}, {-0.5, 1.3}, {-0.2, 1.1}, {0.0, 1.2},
          {0.3, 1.3},  {0.6, 1.0},  {0.9, 1.4},  {1.2, 0.5},  {1.6, 0.7}, {2.0, 0.0}};
}

double pathLength(const JointPath& path) {
  double length = 0.0;
  for (std::size_t k = 0; k + 1 < path.size(); ++k) {
    length += waypointDistance(path[k], path[k + 1]);
  }
  return length;
}

struct Simplified {
  JointPath path;
  std::string output;
};

Simplified simplify(PlanSceneInterface& scene, JointPath path, std::uint32_t seed) {
  CountingSeedSource seeds(seed);
  RRTConnectPlanner planner(&scene, {seeds.source(), [] { return std::int64_t{0}; }});
  CaptureStdout();
  planner.simplifyPath(path);
  return {std::move(path), GetCapturedStdout()};
}

TEST(PathSimplification, ZigZagInFreeSpaceCollapsesToItsEnds) {
  RecordingScene scene = freeSquare();
  const Simplified result = simplify(scene, {{0, 0}, {1, 2}, {2, -1}, {3, 2}, {4, 0}}, 1);
  EXPECT_EQ(result.path, (JointPath{{0, 0}, {4, 0}}));
  EXPECT_EQ(result.output,
            "\033[42m Ready to begin path simplify\033[0m\n\033[33mSimplify Path direct cost:0us\033[0m\n");
}

TEST(PathSimplification, ShortPathsAreLeftAlone) {
  RecordingScene scene = freeSquare();
  for (const JointPath& path : {JointPath{{1, 1}}, JointPath{{0, 0}, {1, 1}}}) {
    const Simplified result = simplify(scene, path, 1);
    EXPECT_EQ(result.path, path);
    EXPECT_EQ(result.output, "\033[33mNo need to Simplify the Path~ \033[0m\n");
  }
  EXPECT_TRUE(scene.motions.empty());
}

TEST(PathSimplification, RejectedMotionsChangeNothingAndEveryStageReports) {
  RecordingScene scene = freeSquare();
  scene.rejectEveryMotion(true);
  const JointPath zig_zag{{0, 0}, {1, 2}, {2, -1}, {3, 2}, {4, 0}};
  const Simplified result = simplify(scene, zig_zag, 5);
  EXPECT_EQ(result.path, zig_zag);
  for (const char* line : {"\033[33mShortcut Path check num: ", "shortcutPath cost:0 us\n",
                           "\033[33mSmooth Path check num: ", "smoothBSpline cost:0 us\n",
                           "reduceVertices  reduceVertices first cost:0 us\n", "\033[33mCollapse Path check num: ",
                           "collapseCloseVertices cost:0 us\n", "\033[33mReduce Path check num after: ",
                           "reduceVertices  reduceVertices cost:0 us\n", "\033[33mSimplify Path cost:0us\033[0m\n"}) {
    EXPECT_NE(result.output.find(line), std::string::npos) << line;
  }
}

TEST(PathSimplification, ChangesKeepTheEndsAndPassTheMotionCheck) {
  for (std::uint32_t seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    auto scene = makeWallWithGapScene(2);
    const JointPath original = detourOverWall();
    for (std::size_t k = 0; k + 1 < original.size(); ++k) {
      ASSERT_TRUE(scene->checkMotion(original[k].data(), original[k + 1].data())) << k;
    }
    const Simplified result = simplify(*scene, original, seed);
    ASSERT_GE(result.path.size(), 3u);
    EXPECT_LT(result.path.size(), original.size());
    EXPECT_EQ(result.path.front(), original.front());
    EXPECT_EQ(result.path.back(), original.back());
    for (std::size_t k = 0; k + 1 < result.path.size(); ++k) {
      EXPECT_TRUE(scene->checkMotion(result.path[k].data(), result.path[k + 1].data())) << k;
    }
  }
}

TEST(PathSimplification, MarginTwinsUseTheMarginCheckOnly) {
  auto scene = makeWallWithGapScene(2);
  CountingSeedSource seeds(3);
  RRTConnectPlanner planner(scene.get(), {seeds.source(), wallClockMicroseconds});
  JointPath path = detourOverWall();
  planner.randomShortcut(path);
  planner.reduceVerticesWithMargin(path);
  EXPECT_EQ(scene->motion_checks, 0);
  EXPECT_EQ(scene->margin_motion_checks, planner.checkCount());
  EXPECT_EQ(path.front(), detourOverWall().front());
  EXPECT_EQ(path.back(), detourOverWall().back());
  for (std::size_t k = 0; k + 1 < path.size(); ++k) {
    EXPECT_TRUE(scene->checkMotionWithMargin(path[k].data(), path[k + 1].data())) << k;
  }
}

TEST(PathSimplification, ShortcutMakesOneAttemptPerWaypointOfItsInput) {
  RecordingScene scene = freeSquare();
  CountingSeedSource seeds(8);
  RRTConnectPlanner planner(&scene, {seeds.source(), wallClockMicroseconds});
  JointPath path{{0, 0}, {1, 2}, {2, -1}, {3, 2}, {4, -1}, {5, 2}, {4.5, 4.5}};
  const double length_before = pathLength(path);
  EXPECT_TRUE(planner.shortcutPath(path));
  EXPECT_LT(pathLength(path), length_before);
  EXPECT_EQ(*seeds.seeds_drawn, 7u);  // one freshly seeded engine per attempt
}

TEST(PathSimplification, ReductionOfThreeWaypointsOnlyTriesTheEnds) {
  RecordingScene scene = freeSquare();
  scene.rejectEveryMotion(true);
  CountingSeedSource seeds(21);
  RRTConnectPlanner planner(&scene, {seeds.source(), wallClockMicroseconds});
  JointPath path{{0, 0}, {1, 2}, {2, 0}};
  EXPECT_FALSE(planner.reduceVertices(path));
  ASSERT_FALSE(scene.motions.empty());
  for (const auto& motion : scene.motions) {
    EXPECT_EQ(motion.first, path[0]);
    EXPECT_EQ(motion.second, path[2]);
  }
  EXPECT_EQ(planner.checkCount(), static_cast<int>(scene.motions.size()));
}

TEST(PathSimplification, AllWaypointsEqualSkipsEveryShortcut) {
  RecordingScene scene = freeSquare();
  CountingSeedSource seeds(4);
  RRTConnectPlanner planner(&scene, {seeds.source(), wallClockMicroseconds});
  JointPath path(5, {1.0, 1.0});
  EXPECT_FALSE(planner.shortcutPath(path));
  EXPECT_TRUE(scene.motions.empty());
  EXPECT_EQ(path.size(), 5u);
}

TEST(InterpolateWaypoints, LinearOverTheLengthOfFrom) {
  const std::vector<double> from{1.0, -2.0, 0.3};
  const std::vector<double> to{3.0, 2.0, 0.3, 99.0};
  EXPECT_EQ(interpolateWaypoints(from, to, 0.0), from);
  EXPECT_EQ(interpolateWaypoints(from, to, 0.5), (std::vector<double>{2.0, 0.0, 0.3}));
  EXPECT_EQ(interpolateWaypoints(from, to, 1.0), (std::vector<double>{3.0, 2.0, 0.3}));
  EXPECT_TRUE(interpolateWaypoints({}, to, 0.5).empty());
}

}  // namespace
