// The planner's own cost per validity check on the 6-joint wall scene, with a scene whose every state
// test costs a fixed 5 microseconds. Run with standard output sent to /dev/null (the planner logs a lot)
// and read the figures from --benchmark_out.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "planning/motion_bisection.h"
#include "planning/rrt_connect.h"
#include "support/config_space_scene.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::nanoseconds kStateTestCost{5000};

// The wall scene's geometry behind state tests that each take a fixed time; keeps the time spent
// inside its operations so that the planner's share can be told apart.
class FixedCostScene : public PlanSceneInterface {
 public:
  explicit FixedCostScene(std::unique_ptr<ConfigSpaceScene> geometry)
      : geometry_(std::move(geometry)), scratch_(geometry_->dof()) {}

  int getJointLimits(std::vector<std::pair<double, double>>& bounds) override {
    return geometry_->getJointLimits(bounds);
  }
  int getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) override {
    return geometry_->getVmaxAndAmax(vmax, amax);
  }
  double getMaximumExtent() override { return geometry_->getMaximumExtent(); }
  bool isStateValid(const double* state) override { return timed([&] { return stateValid(state, 0.0); }); }
  bool isStateValidWithMargin(const double* state) override {
    return timed([&] { return stateValid(state, margin_); });
  }
  bool checkMotion(const double* from, const double* to) override {
    return timed([&] { return motionValid(from, to, 0.0); });
  }
  bool checkMotionWithMargin(const double* from, const double* to) override {
    return timed([&] { return motionValid(from, to, margin_); });
  }

  std::int64_t state_tests = 0;
  Clock::duration time_inside{};

 private:
  template <typename Query>
  bool timed(Query&& query) {
    const Clock::time_point entry = Clock::now();
    const bool result = query();
    time_inside += Clock::now() - entry;
    return result;
  }

  bool stateValid(const double* state, double margin) {
    ++state_tests;
    const Clock::time_point until = Clock::now() + kStateTestCost;
    while (Clock::now() < until) {
    }
    return !geometry_->isInsideObstacle(state, margin);
  }

  bool motionValid(const double* from, const double* to, double margin) {
    return bisection_.check(
        to, geometry_->segmentCount(from, to), [&](const double* state) { return stateValid(state, margin); },
        [&](double fraction) {
          for (std::size_t j = 0; j < scratch_.size(); ++j) {
            scratch_[j] = from[j] + (to[j] - from[j]) * fraction;
          }
          return scratch_.data();
        });
  }

  std::unique_ptr<ConfigSpaceScene> geometry_;
  double margin_ = 0.05;
  MotionBisection bisection_;
  std::vector<double> scratch_;
};

void planWallScene(benchmark::State& state, bool device_seeds) {
  constexpr int kDof = 6;
  std::int64_t state_tests = 0;
  double planner_seconds = 0.0;
  double total_seconds = 0.0;
  std::uint32_t seed = 0;
  for (auto _ : state) {
    FixedCostScene scene(makeWallWithGapScene(kDof));
    RRTConnectPlanner planner(&scene, {device_seeds ? SeedSource(seedFromRandomDevice) : seededSource(++seed),
                                       wallClockMicroseconds});
    planner.setStartAndGoal(wallStart(kDof), wallGoal(kDof));
    JointPath path;
    const Clock::time_point start = Clock::now();
    const int code = planner.plan(path);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (code != 0) {
      state.SkipWithError("planning failed");
      break;
    }
    benchmark::DoNotOptimize(path.data());
    total_seconds += seconds;
    planner_seconds += seconds - std::chrono::duration<double>(scene.time_inside).count();
    state_tests += scene.state_tests;
  }
  state.counters["state_tests_per_plan"] = benchmark::Counter(static_cast<double>(state_tests) / state.iterations());
  state.counters["planner_ns_per_state_test"] = benchmark::Counter(1e9 * planner_seconds / state_tests);
  state.counters["planner_share_of_5us_test_pct"] = benchmark::Counter(100.0 * planner_seconds / state_tests / 5e-6);
  state.counters["plan_ms"] = benchmark::Counter(1e3 * total_seconds / state.iterations());
}

void BM_PlanWallScene6D_SeededEngines(benchmark::State& state) { planWallScene(state, false); }
void BM_PlanWallScene6D_DeviceSeeds(benchmark::State& state) { planWallScene(state, true); }

BENCHMARK(BM_PlanWallScene6D_SeededEngines)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_PlanWallScene6D_DeviceSeeds)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace
