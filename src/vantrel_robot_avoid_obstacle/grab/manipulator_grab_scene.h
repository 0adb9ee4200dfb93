#pragma once

#include "grab/grab_scene.h"

class ManipulatorPlanScene;

// The node's planning scene as the grasp search sees it. Does not own the scene.
class ManipulatorGrabScene : public GrabScene
{
public:
  explicit ManipulatorGrabScene(ManipulatorPlanScene* plan_scene) : plan_scene_ptr_(plan_scene) {}

  int getJointLimits(std::vector<std::pair<double, double>>& bounds) override;
  const KinematicsInterface* getKinematics() const override;
  bool isStateValid(const double* state) override;
  void restoreGripperPadding() override;

private:
  ManipulatorPlanScene* plan_scene_ptr_;
};
