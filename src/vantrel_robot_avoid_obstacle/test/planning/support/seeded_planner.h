#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "planning/rrt_connect.h"
#include "support/captured_output.h"
#include "support/config_space_scene.h"

// A planner on `scene` whose engines are seeded reproducibly and whose clock stands still, counting the seeds
// its engines take.
struct SeededPlanner {
  SeededPlanner(ConfigSpaceScene& scene, std::uint32_t seed)
      : planner(&scene, {countedSource(seed, seeds), [] { return std::int64_t{0}; }}) {}
  int seeds = 0;
  RRTConnectPlanner planner;
};

// What one post-processing step did to a copy of a path.
struct StepOutcome {
  JointPath path;
  bool changed = false;  // the step's own report; false when it gives none
  std::vector<ConfigSpaceScene::CheckedMotion> asked;
  int seeds = 0;
  int counted = 0;  // the motion checks the planner counted
  std::string output;
};

// Runs `step(planner, path)` on a copy of `path` with a SeededPlanner on `scene`, recording the motions it asks.
template <typename Step>
StepOutcome runStep(ConfigSpaceScene& scene, const JointPath& path, std::uint32_t seed, Step step) {
  scene.recordMotions();
  SeededPlanner seeded(scene, seed);
  StepOutcome outcome;
  outcome.path = path;
  outcome.output = capturedOutput([&] { outcome.changed = step(seeded.planner, outcome.path); });
  outcome.asked = scene.checkedMotions();
  outcome.seeds = seeded.seeds;
  outcome.counted = seeded.planner.checkCount();
  return outcome;
}
