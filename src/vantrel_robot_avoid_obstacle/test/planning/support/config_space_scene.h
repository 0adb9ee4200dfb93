#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "planning/motion_bisection.h"
#include "planning/plan_scene_interface.h"
#include "planning/planner_random.h"
#include "planning/trajectory_point.h"

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
  // The longest valid segment is 0.005 of the maximum extent (the sum of the bound widths).
  explicit ConfigSpaceScene(std::vector<std::pair<double, double>> bounds);

  void addObstacle(JointBox box) { obstacles_.push_back(std::move(box)); }
  void setMargin(double margin) { margin_ = margin; }
  // Limits returned by getVmaxAndAmax; empty vectors mean none.
  void setVelocityAndAccelerationLimits(std::vector<double> vmax, std::vector<double> amax) {
    vmax_ = std::move(vmax);
    amax_ = std::move(amax);
  }
  // After this many further motion checks (standard or margin) every motion is rejected; -1 never.
  void rejectMotionsAfter(int accepted_checks) { motions_left_ = accepted_checks; }

  // Once recording, the scene keeps every motion it checks, in order, with the variant that checked it.
  struct CheckedMotion {
    std::vector<double> from;
    std::vector<double> to;
    bool with_margin;
    bool operator==(const CheckedMotion& other) const {
      return from == other.from && to == other.to && with_margin == other.with_margin;
    }
  };
  void recordMotions() { recording_ = true; }
  const std::vector<CheckedMotion>& checkedMotions() const { return checked_motions_; }

  int getJointLimits(std::vector<std::pair<double, double>>& bounds) override;
  int getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) override;
  bool isStateValid(const double* state) override { return !isInsideObstacle(state, 0.0); }
  bool isStateValidWithMargin(const double* state) override { return !isInsideObstacle(state, margin_); }
  bool checkMotion(const double* from, const double* to) override { return motionValid(from, to, false); }
  bool checkMotionWithMargin(const double* from, const double* to) override { return motionValid(from, to, true); }
  double getMaximumExtent() override { return maximum_extent_; }

  bool isInsideObstacle(const double* state, double margin) const;
  int segmentCount(const double* from, const double* to) const;
  int dof() const { return static_cast<int>(bounds_.size()); }

 private:
  bool motionValid(const double* from, const double* to, bool with_margin);

  std::vector<std::pair<double, double>> bounds_;
  std::vector<JointBox> obstacles_;
  double margin_ = 0.0;
  double maximum_extent_ = 0.0;
  double longest_valid_segment_ = 0.0;
  std::vector<double> vmax_;
  std::vector<double> amax_;
  int motions_left_ = -1;
  bool recording_ = false;
  std::vector<CheckedMotion> checked_motions_;
  MotionBisection bisection_;
  std::vector<double> scratch_;
};

// Joints in [-pi, pi]; a wall across joint 0 (|q0| <= 0.3) with a gap for 0.8 < q1 < 1.6. The straight
// motion from wallStart to wallGoal is blocked.
std::unique_ptr<ConfigSpaceScene> makeWallWithGapScene(int dof);
std::vector<double> wallStart(int dof);
std::vector<double> wallGoal(int dof);

// A closed ring of boxes round (0.8, 0.8) in the unit square: no search can reach the goal inside.
void addRingAroundGoal(ConfigSpaceScene& scene);
std::unique_ptr<ConfigSpaceScene> makeEnclosedGoalScene();

// Reproducible seeds: the outputs of an MT19937 seeded with `seed`.
SeedSource seededSource(std::uint32_t seed);
// The same, adding 1 to `drawn` for every seed taken.
SeedSource countedSource(std::uint32_t seed, int& drawn);

// Exact equality, for comparing whole trajectories.
inline bool operator==(const TrajectoryPoint& a, const TrajectoryPoint& b) {
  return a.positions == b.positions && a.velocities == b.velocities && a.accelerations == b.accelerations &&
         a.time_from_start == b.time_from_start;
}
