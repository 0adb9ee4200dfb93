#include "planner_property_suite.h"

#include "planning/rrt_connect.h"
#include "support/captured_output.h"
#include "support/joint_space_scenes.h"

namespace {

constexpr int kSeedCount = 50;

void expectSoundPath(PlanSceneInterface& scene, const PlannerSceneCase& scene_case, const JointPath& path) {
  std::vector<std::pair<double, double>> bounds;
  scene.getJointLimits(bounds);
  ASSERT_GE(path.size(), 2u);
  EXPECT_EQ(path.front(), scene_case.start);
  EXPECT_EQ(path.back(), scene_case.goal);
  for (std::size_t k = 0; k < path.size(); ++k) {
    ASSERT_EQ(path[k].size(), bounds.size());
    for (std::size_t j = 0; j < bounds.size(); ++j) {
      EXPECT_GE(path[k][j], bounds[j].first) << "waypoint " << k << " joint " << j;
      EXPECT_LE(path[k][j], bounds[j].second) << "waypoint " << k << " joint " << j;
    }
    if (k + 1 < path.size()) {
      EXPECT_NE(path[k], path[k + 1]) << "duplicate at " << k;
      EXPECT_TRUE(scene.checkMotion(path[k].data(), path[k + 1].data())) << "segment " << k;
    }
  }
}

}  // namespace

std::string plannerSceneCaseName(const testing::TestParamInfo<PlannerSceneCase>& info) {
  return info.param.name;
}

TEST_P(PlannerProperties, SearchGivesSoundPathsFromStartToGoal) {
  const PlannerSceneCase& scene_case = GetParam();
  int odd_exchange_runs = 0;
  for (int seed = 1; seed <= kSeedCount; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::shared_ptr<PlanSceneInterface> scene = scene_case.make_scene();
    CountingSeedSource seeds(static_cast<std::uint32_t>(seed));
    RRTConnectPlanner planner(scene.get(), {seeds.source(), wallClockMicroseconds});
    planner.setStartAndGoal(scene_case.start, scene_case.goal);
    JointPath path;
    int code = 0;
    capturedOutput([&] { code = planner.plan(path); });
    ASSERT_EQ(code, 0);
    ASSERT_GT(planner.statistics().samples, 0) << "the straight motion must be blocked";
    expectSoundPath(*scene, scene_case, path);
    odd_exchange_runs += planner.statistics().tree_exchanges % 2;
  }
  EXPECT_GT(odd_exchange_runs, 0) << "no run ended with the trees exchanged";
}
