#include "joint_space_scenes.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

std::unique_ptr<ConfigSpaceScene> makeWallWithGapScene(int dof) {
  auto scene = std::make_unique<ConfigSpaceScene>(std::vector<std::pair<double, double>>(dof, {-kPi, kPi}));
  JointBox below_gap{std::vector<double>(dof, -kPi), std::vector<double>(dof, kPi)};
  below_gap.lower[0] = -0.3;
  below_gap.upper[0] = 0.3;
  JointBox above_gap = below_gap;
  below_gap.upper[1] = 0.8;
  above_gap.lower[1] = 1.6;
  scene->addObstacle(below_gap);
  scene->addObstacle(above_gap);
  scene->setMargin(0.05);
  return scene;
}

std::vector<double> wallStart(int dof) {
  std::vector<double> start(dof, 0.0);
  start[0] = -2.0;
  return start;
}

std::vector<double> wallGoal(int dof) {
  std::vector<double> goal(dof, 0.0);
  goal[0] = 2.0;
  return goal;
}

std::unique_ptr<ConfigSpaceScene> makeEnclosedGoalScene() {
  auto scene = std::make_unique<ConfigSpaceScene>(std::vector<std::pair<double, double>>(2, {0.0, 1.0}));
  scene->addObstacle({{0.7, 0.7}, {0.9, 0.72}});
  scene->addObstacle({{0.7, 0.88}, {0.9, 0.9}});
  scene->addObstacle({{0.7, 0.7}, {0.72, 0.9}});
  scene->addObstacle({{0.88, 0.7}, {0.9, 0.9}});
  return scene;
}

CountingSeedSource::CountingSeedSource(std::uint32_t seed)
    : seeds_drawn(std::make_shared<std::uint32_t>(0)), engine(std::make_shared<std::mt19937>(seed)) {}

SeedSource CountingSeedSource::source() {
  return [drawn = seeds_drawn, generator = engine] {
    ++*drawn;
    return static_cast<std::uint32_t>((*generator)());
  };
}
