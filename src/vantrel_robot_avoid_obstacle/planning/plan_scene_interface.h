#pragma once

#include <utility>
#include <vector>

// What every planning component may ask about the robot and its surroundings. A state is a read-only
// array of the planning group's joint values in group order; the scene never keeps the pointer.
class PlanSceneInterface {
 public:
  virtual ~PlanSceneInterface() = default;

  // Clears `bounds` and appends (lower, upper) per joint of the planning group; returns the joint count,
  // negative when the limits are unavailable. Success also makes the velocity and acceleration limits
  // available.
  virtual int getJointLimits(std::vector<std::pair<double, double>>& bounds) = 0;
  // Replaces both vectors with the per-joint limits and returns their count; 0 (vectors untouched)
  // while the limits are unavailable.
  virtual int getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) = 0;
  virtual bool isStateValid(const double* state) = 0;
  virtual bool isStateValidWithMargin(const double* state) = 0;
  // Whether `to` and every intermediate state of the straight segment are valid; `from` is not tested.
  virtual bool checkMotion(const double* from, const double* to) = 0;
  virtual bool checkMotionWithMargin(const double* from, const double* to) = 0;
  // Like checkMotion, tested densely enough to trust every state in between; the final check of a
  // trajectory. A scene whose checkMotion already is that dense keeps this default.
  virtual bool checkMotionFinely(const double* from, const double* to) { return checkMotion(from, to); }
  virtual double getMaximumExtent() = 0;
  // Bracket one planning query. In between, the caller changes neither the world nor the robot (padding,
  // attached bodies), so a scene may answer a state it has already tested in the query from memory.
  virtual void beginQuery() {}
  virtual void endQuery() {}
};
