#pragma once

#include <utility>
#include <vector>

#include "planning/motion_bisection.h"
#include "planning/plan_scene_interface.h"

// An axis-aligned box in joint space; a state on its boundary counts as inside.
struct JointBox {
  std::vector<double> lower;
  std::vector<double> upper;
};

// A planning scene made of joint-space boxes, for exercising the planner without a robot: a state is
// valid when it lies in no box; the margin variant grows every box by the margin on each side. Motions
// are checked with the shared bisection over ceil(L1 distance / longest valid segment) segments.
class ConfigSpaceScene : public PlanSceneInterface {
 public:
  // The longest valid segment defaults to 0.005 of the maximum extent (the sum of the bound widths).
  explicit ConfigSpaceScene(std::vector<std::pair<double, double>> bounds, double longest_valid_segment = 0.0);

  void addObstacle(JointBox box) { obstacles_.push_back(std::move(box)); }
  void setMargin(double margin) { margin_ = margin; }
  // Limits returned by getVmaxAndAmax once getJointLimits has run; empty vectors mean none.
  void setVelocityAndAccelerationLimits(std::vector<double> vmax, std::vector<double> amax) {
    vmax_ = std::move(vmax);
    amax_ = std::move(amax);
  }
  // After this many further motion checks (standard or margin) every motion is rejected; -1 never.
  void rejectMotionsAfter(int accepted_checks) { motions_left_ = accepted_checks; }

  int getJointLimits(std::vector<std::pair<double, double>>& bounds) override;
  int getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) override;
  bool isStateValid(const double* state) override { return !isInsideObstacle(state, 0.0); }
  bool isStateValidWithMargin(const double* state) override { return !isInsideObstacle(state, margin_); }
  bool checkMotion(const double* from, const double* to) override { return motionValid(from, to, 0.0); }
  bool checkMotionWithMargin(const double* from, const double* to) override { return motionValid(from, to, margin_); }
  double getMaximumExtent() override { return maximum_extent_; }

 private:
  bool isInsideObstacle(const double* state, double margin) const;
  int segmentCount(const double* from, const double* to) const;
  int dof() const { return static_cast<int>(bounds_.size()); }
  bool motionValid(const double* from, const double* to, double margin);

  std::vector<std::pair<double, double>> bounds_;
  std::vector<JointBox> obstacles_;
  double margin_ = 0.0;
  double maximum_extent_ = 0.0;
  double longest_valid_segment_ = 0.0;
  std::vector<double> vmax_;
  std::vector<double> amax_;
  bool limits_available_ = false;
  int motions_left_ = -1;
  MotionBisection bisection_;
  std::vector<double> scratch_;
};
