// The fine motion check next to a near self-contact: arm6 turns joints 1, 4 and 6 from one end of their ranges to
// the other with joint 3 where link4 stays about 2 micrometres from link2 all the way, bare and carrying a 1 m
// stick along the tool. Every state of the motion is valid. Time per check and the states the walk against the
// robot itself tests.
#include <chrono>
#include <vector>

#include "planning/path_plan_and_post_processing.h"
#include "robot_model/core/attached_body.h"
#include "sample_statistics.h"
#include "support/arms_and_sticks.h"
#include "support/config_space_scene.h"
#include "support/scene_fixtures.h"

namespace {

std::unique_ptr<ManipulatorPlanScene> nearContactScene(double stick_length) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene();
  if (stick_length > 0.0) scene->getRobotState()->attachBody(stick(*scene, stick_length, false));
  return scene;
}

void BM_FineCheckNearContact(benchmark::State& bench, double stick_length) {
  std::unique_ptr<ManipulatorPlanScene> scene = nearContactScene(stick_length);
  const NearContactMotion motion = arm6NearContactMotion();
  std::vector<double> check_ms;
  bool accepted = true;
  for (auto _ : bench) {
    const auto start = std::chrono::steady_clock::now();
    accepted = scene->checkMotionFinely(motion.from.data(), motion.to.data()) && accepted;
    check_ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  bench.counters["accepted"] = accepted ? 1.0 : 0.0;
  bench.counters["walk_states"] = static_cast<double>(scene->selfWalkStates());
  reportDistribution(bench, "check_ms", check_ms);
}

// The same motion asked of the planner facade: the straight path is tried first.
void BM_PlanNearContact(benchmark::State& bench, double stick_length) {
  std::unique_ptr<ManipulatorPlanScene> scene = nearContactScene(stick_length);
  const NearContactMotion motion = arm6NearContactMotion();
  std::vector<double> plan_ms;
  int failures = 0;
  for (auto _ : bench) {
    PathPlanAndPostProcessing pipeline(scene.get(), {seededSource(1), steppingClock()});
    std::vector<TrajectoryPoint> points;
    const auto start = std::chrono::steady_clock::now();
    failures += pipeline.pathPlanAndSimplifySimulation(motion.from, motion.to, points) != 0 ? 1 : 0;
    plan_ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  bench.counters["failures"] = failures;
  reportDistribution(bench, "plan_ms", plan_ms);
}

BENCHMARK_CAPTURE(BM_FineCheckNearContact, Bare, 0.0)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FineCheckNearContact, Stick1m, 1.0)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlanNearContact, Bare, 0.0)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlanNearContact, Stick1m, 1.0)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
