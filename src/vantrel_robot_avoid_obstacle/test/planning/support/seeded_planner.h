#pragma once

#include <cstdint>

#include "planning/rrt_connect.h"
#include "support/config_space_scene.h"

// A planner on `scene` whose engines are seeded reproducibly and whose clock stands still, counting the seeds
// its engines take.
struct SeededPlanner {
  SeededPlanner(ConfigSpaceScene& scene, std::uint32_t seed)
      : planner(&scene, {countedSource(seed, seeds), [] { return std::int64_t{0}; }}) {}
  int seeds = 0;
  RRTConnectPlanner planner;
};
