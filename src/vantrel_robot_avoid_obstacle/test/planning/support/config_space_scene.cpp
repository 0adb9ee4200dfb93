#include "config_space_scene.h"

#include <cmath>

ConfigSpaceScene::ConfigSpaceScene(std::vector<std::pair<double, double>> bounds, double longest_valid_segment)
    : bounds_(std::move(bounds)), scratch_(bounds_.size()) {
  for (const auto& bound : bounds_) {
    maximum_extent_ += bound.second - bound.first;
  }
  longest_valid_segment_ = longest_valid_segment > 0.0 ? longest_valid_segment : 0.005 * maximum_extent_;
  vmax_.assign(bounds_.size(), 1.0);
  amax_.assign(bounds_.size(), 3.0);
}

int ConfigSpaceScene::getJointLimits(std::vector<std::pair<double, double>>& bounds) {
  bounds = bounds_;
  limits_available_ = true;
  return dof();
}

int ConfigSpaceScene::getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) {
  if (!limits_available_ || vmax_.empty()) {
    return 0;
  }
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

bool ConfigSpaceScene::motionValid(const double* from, const double* to, double margin) {
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
