// Planning on arm6 among octree obstacles, up to a cluttered table seen by a depth camera, through the node's
// entry point, 30 seeds per scenario: success rate, time distribution, validity checks per query, the split over
// the pipeline's stages and the time spent in the fine motion checks.
#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "benchmark_scenes.h"
#include "planning/path_plan_and_post_processing.h"
#include "sample_statistics.h"
#include "support/config_space_scene.h"
#include "support/scene_fixtures.h"

namespace {

constexpr int kSeeds = 30;

std::int64_t nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Counts every state test, also those made inside the scene's own motion checks, and those among them the
// scene computes (all but repeats of a valid state in the query), and notes when the pipeline asks for the velocity
// limits: the end of its per-segment logging pass.
class CountingScene : public ManipulatorPlanScene {
 public:
  CountingScene()
      : ManipulatorPlanScene(arm6Directory(), "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf",
                             "srdf/arm6_and_whole_gripper_linker.srdf", "arm", 0.0, 1.0) {}
  bool isStateValid(const double* state) override {
    return counted(state, false, ManipulatorPlanScene::isStateValid(state));
  }
  bool isStateValidWithMargin(const double* state) override {
    return counted(state, true, ManipulatorPlanScene::isStateValidWithMargin(state));
  }

  bool checkMotionFinely(const double* from, const double* to) override {
    const std::int64_t start = nowUs();
    const bool valid = ManipulatorPlanScene::checkMotionFinely(from, to);
    fine_check_us += nowUs() - start;
    return valid;
  }
  int getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) override {
    limits_asked_us = nowUs();
    return ManipulatorPlanScene::getVmaxAndAmax(vmax, amax);
  }
  bool counted(const double* state, bool with_margin, bool valid) {
    ++checks;
    const std::vector<double> values(state, state + getPlanningGroup()->getVariableCount());
    if (!valid || valid_states.emplace(with_margin, values).second) ++computed_checks;
    return valid;
  }
  long checks = 0;
  long computed_checks = 0;
  std::set<std::pair<bool, std::vector<double>>> valid_states;
  std::int64_t limits_asked_us = 0;
  std::int64_t fine_check_us = 0;
};

using ScenarioBuilder = std::function<PlanningScenario(ManipulatorPlanScene&)>;

ScenarioBuilder among(Obstacles obstacles) {
  return [obstacles](ManipulatorPlanScene& scene) { return makeScenario(scene, obstacles); };
}

// A camera frame of 300,000 points on a cluttered table in a 1 cm octree. Start and goal are the ready pose
// turned to either side, both clear, but the tool's sweep between them runs through the boxes.
PlanningScenario clutteredTable(ManipulatorPlanScene& scene) {
  const ArmLayout arm = arm6Layout();
  PlanningScenario scenario{"cluttered table", arm.pose(-1.0), arm.pose(1.0),
                            makeOctree(benchmark_scenes::kResolution)};
  scene.updateWorldOctomap(scenario.tree);
  benchmark_scenes::clutteredTable(*scenario.tree);
  return scenario;
}

void BM_Plan(benchmark::State& bench, const ScenarioBuilder& build) {
  CountingScene scene;
  const PlanningScenario scenario = build(scene);
  if (!scene.isStateValid(scenario.start.data()) || !scene.isStateValid(scenario.goal.data())) {
    bench.SkipWithError("start or goal in collision");
    return;
  }
  std::vector<double> total_ms, checks, computed_checks, search_ms, direct_ms, simplify_ms, repair_ms, shortcut_reduce_ms, logging_ms,
      timing_ms, fine_check_ms;
  int successes = 0;
  for (auto _ : bench) {
    for (int seed = 1; seed <= kSeeds; ++seed) {
      std::int64_t last_planner_clock = 0;
      PathPlanAndPostProcessing pipeline(&scene, {seededSource(static_cast<std::uint32_t>(seed)), [&last_planner_clock] {
                                                    last_planner_clock = nowUs();
                                                    return last_planner_clock;
                                                  }});
      std::vector<TrajectoryPoint> points;
      scene.checks = 0;
      scene.computed_checks = 0;
      scene.valid_states.clear();
      scene.limits_asked_us = 0;
      scene.fine_check_us = 0;
      const std::int64_t start = nowUs();
      const int code = pipeline.pathPlanAndSimplify(scenario.start, scenario.goal, points);
      const std::int64_t end = nowUs();
      const PlannerStatistics& stats = pipeline.planner().statistics();
      total_ms.push_back((end - start) / 1000.0);
      checks.push_back(static_cast<double>(scene.checks));
      computed_checks.push_back(static_cast<double>(scene.computed_checks));
      direct_ms.push_back(stats.direct_check_us / 1000.0);
      search_ms.push_back(stats.search_us / 1000.0);
      if (code != 0) {
        bench.counters["failures_with_code_" + std::to_string(code)] += 1;
        continue;
      }
      ++successes;
      simplify_ms.push_back(stats.simplify_us / 1000.0);
      repair_ms.push_back(stats.away_from_obstacle_us / 1000.0);
      shortcut_reduce_ms.push_back((stats.shortcut_again_us + stats.reduce_again_us) / 1000.0);
      logging_ms.push_back((scene.limits_asked_us - last_planner_clock) / 1000.0);
      timing_ms.push_back((end - scene.limits_asked_us) / 1000.0);
      fine_check_ms.push_back(scene.fine_check_us / 1000.0);
    }
  }
  bench.counters["success_rate"] = static_cast<double>(successes) / static_cast<double>(total_ms.size());
  reportDistribution(bench, "total_ms", total_ms);
  reportDistribution(bench, "checks", checks);
  reportDistribution(bench, "computed_checks", computed_checks);
  reportDistribution(bench, "direct_ms", direct_ms);
  reportDistribution(bench, "search_ms", search_ms);
  reportDistribution(bench, "simplify_ms", simplify_ms);
  reportDistribution(bench, "repair_ms", repair_ms);
  reportDistribution(bench, "shortcut_reduce_ms", shortcut_reduce_ms);
  reportDistribution(bench, "logging_ms", logging_ms);
  reportDistribution(bench, "timing_ms", timing_ms);
  reportDistribution(bench, "fine_check_ms", fine_check_ms);
}

BENCHMARK_CAPTURE(BM_Plan, Free, among(Obstacles::kFree))->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plan, Wall, among(Obstacles::kWall))->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plan, Shelf, among(Obstacles::kShelf))->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plan, Enclosed, among(Obstacles::kEnclosed))->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plan, ClutteredTable, clutteredTable)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
