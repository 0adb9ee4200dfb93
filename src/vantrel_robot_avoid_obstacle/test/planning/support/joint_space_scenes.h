#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "config_space_scene.h"
#include "planning/planner_random.h"

// Joints in [-pi, pi]; a wall across joint 0 (|q0| <= 0.3) with a gap for 0.8 < q1 < 1.6. The straight
// motion from wallStart to wallGoal is blocked.
std::unique_ptr<ConfigSpaceScene> makeWallWithGapScene(int dof);
std::vector<double> wallStart(int dof);
std::vector<double> wallGoal(int dof);

// The unit square with the goal (0.8, 0.8) shut in by a closed ring of boxes: no search can reach it.
std::unique_ptr<ConfigSpaceScene> makeEnclosedGoalScene();

// Reproducible seeds: the outputs of an MT19937 seeded with `seed`; counts the seeds handed out.
struct CountingSeedSource {
  explicit CountingSeedSource(std::uint32_t seed);
  SeedSource source();
  std::shared_ptr<std::uint32_t> seeds_drawn;
  std::shared_ptr<std::mt19937> engine;
};
