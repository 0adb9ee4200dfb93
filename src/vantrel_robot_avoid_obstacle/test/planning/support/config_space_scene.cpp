#include "config_space_scene.h"

#include <cmath>
#include <random>

ConfigSpaceScene::ConfigSpaceScene(std::vector<std::pair<double, double>> bounds)
    : bounds_(std::move(bounds)), vmax_(bounds_.size(), 1.0), amax_(bounds_.size(), 3.0), scratch_(bounds_.size()) {
  for (const auto& bound : bounds_) {
    maximum_extent_ += bound.second - bound.first;
  }
  longest_valid_segment_ = 0.005 * maximum_extent_;
}

int ConfigSpaceScene::getJointLimits(std::vector<std::pair<double, double>>& bounds) {
  bounds = bounds_;
  return dof();
}

int ConfigSpaceScene::getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) {
  vmax = vmax_;
  amax = amax_;
  return static_cast<int>(vmax_.size());
}

bool ConfigSpaceScene::isInsideObstacle(const double* state, double margin) const {
  for (const JointBox& box : obstacles_) {
    bool inside = true;
    for (int j = 0; j < dof() && inside; ++j) {
      inside = state[j] >= box.lower[j] - margin && state[j] <= box.upper[j] + margin;
    }
    if (inside) {
      return true;
    }
  }
  return false;
}

int ConfigSpaceScene::segmentCount(const double* from, const double* to) const {
  double distance = 0.0;
  for (int j = 0; j < dof(); ++j) {
    distance += std::fabs(to[j] - from[j]);
  }
  return static_cast<int>(std::ceil(distance / longest_valid_segment_));
}

bool ConfigSpaceScene::motionValid(const double* from, const double* to, bool with_margin) {
  if (recording_) {
    checked_motions_.push_back({{from, from + dof()}, {to, to + dof()}, with_margin});
  }
  const double margin = with_margin ? margin_ : 0.0;
  if (motions_left_ == 0) {
    return false;
  }
  if (motions_left_ > 0) {
    --motions_left_;
  }
  return bisection_.check(
      to, segmentCount(from, to),
      [&](const double* state) { return !isInsideObstacle(state, margin); },
      [&](double fraction) {
        for (int j = 0; j < dof(); ++j) {
          scratch_[j] = from[j] + (to[j] - from[j]) * fraction;
        }
        return scratch_.data();
      });
}

std::unique_ptr<ConfigSpaceScene> makeWallWithGapScene(int dof) {
  auto scene = std::make_unique<ConfigSpaceScene>(std::vector<std::pair<double, double>>(dof, {-M_PI, M_PI}));
  JointBox below_gap{std::vector<double>(dof, -M_PI), std::vector<double>(dof, M_PI)};
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

void addRingAroundGoal(ConfigSpaceScene& scene) {
  scene.addObstacle({{0.7, 0.7}, {0.9, 0.72}});
  scene.addObstacle({{0.7, 0.88}, {0.9, 0.9}});
  scene.addObstacle({{0.7, 0.7}, {0.72, 0.9}});
  scene.addObstacle({{0.88, 0.7}, {0.9, 0.9}});
}

std::unique_ptr<ConfigSpaceScene> makeEnclosedGoalScene() {
  auto scene = std::make_unique<ConfigSpaceScene>(std::vector<std::pair<double, double>>(2, {0.0, 1.0}));
  addRingAroundGoal(*scene);
  return scene;
}

SeedSource seededSource(std::uint32_t seed) {
  return [engine = std::make_shared<std::mt19937>(seed)] { return static_cast<std::uint32_t>((*engine)()); };
}

SeedSource countedSource(std::uint32_t seed, int& drawn) {
  return [&drawn, source = seededSource(seed)] {
    ++drawn;
    return source();
  };
}
