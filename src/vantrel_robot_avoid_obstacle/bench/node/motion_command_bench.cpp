// Latency of a joint-goal command from the ArmMoveJoints request to the trajectory goal reaching the arm
// controller: planning around the pillar of the table-and-pillar scene, goal building and sending. The
// controller plays each trajectory back before the next request, which is not counted.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "node_rig.h"

namespace {

using Clock = std::chrono::steady_clock;

void BM_JointGoalAcrossThePillarToGoalSent(benchmark::State& state) {
  NodeRig rig(nodeConfig(Arm::Six, false));
  RosTwoWrapper& node = rig.node();
  fillObstacleMap(node);
  const Crossing crossing = findCrossing(rig);
  if (crossing.start.empty()) {
    state.SkipWithError("no crossing of the pillar found");
    return;
  }
  Access::ArmMoveJoints::Request request;
  request.cmd_type = 0;
  std::vector<double> latencies_ms;
  bool forth = true;
  for (auto _ : state) {
    Access::setCurrentJoints(node, forth ? crossing.start : crossing.goal);
    request.joints.data = forth ? crossing.goal : crossing.start;
    forth = !forth;
    const size_t before = rig.controller().acceptedGoals().size();
    std::atomic<bool> done{false};
    Clock::time_point arrived{};
    std::thread watcher([&] {
      while (!done && rig.controller().acceptedGoals().size() == before)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      arrived = Clock::now();
    });
    const auto sent = Clock::now();
    const auto response = Access::moveJoints(node, request);
    done = true;
    watcher.join();
    if (response.code != 0) {
      state.SkipWithError("the command failed");
      return;
    }
    const double seconds = std::chrono::duration<double>(arrived - sent).count();
    state.SetIterationTime(seconds);
    latencies_ms.push_back(seconds * 1e3);
  }
  std::sort(latencies_ms.begin(), latencies_ms.end());
  state.counters["median_ms"] = latencies_ms[latencies_ms.size() / 2];
  state.counters["max_ms"] = latencies_ms.back();
}
BENCHMARK(BM_JointGoalAcrossThePillarToGoalSent)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
