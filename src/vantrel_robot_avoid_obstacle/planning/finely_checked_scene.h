#pragma once

#include "planning/plan_scene_interface.h"

// A scene's view in which every motion must also pass its fine motion check: a search on it only keeps
// segments that the final check of a trajectory accepts.
class FinelyCheckedScene : public PlanSceneInterface {
 public:
  explicit FinelyCheckedScene(PlanSceneInterface* scene) : scene_(scene) {}

  int getJointLimits(std::vector<std::pair<double, double>>& bounds) override { return scene_->getJointLimits(bounds); }
  int getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) override {
    return scene_->getVmaxAndAmax(vmax, amax);
  }
  bool isStateValid(const double* state) override { return scene_->isStateValid(state); }
  bool isStateValidWithMargin(const double* state) override { return scene_->isStateValidWithMargin(state); }
  bool checkMotion(const double* from, const double* to) override {
    return scene_->checkMotion(from, to) && scene_->checkMotionFinely(from, to);
  }
  bool checkMotionWithMargin(const double* from, const double* to) override {
    return scene_->checkMotionWithMargin(from, to) && scene_->checkMotionFinely(from, to);
  }
  double getMaximumExtent() override { return scene_->getMaximumExtent(); }

 private:
  PlanSceneInterface* scene_;
};
