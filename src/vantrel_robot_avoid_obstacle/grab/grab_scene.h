#pragma once

#include <utility>
#include <vector>

class KinematicsInterface;

// What the grasp search asks of the planning scene: the planning group's joint limits, its kinematics
// solver, state validity and the gripper padding.
class GrabScene
{
public:
  virtual ~GrabScene() = default;

  // Clears `bounds` and appends (lower, upper) per joint; the joint count, negative when unavailable.
  virtual int getJointLimits(std::vector<std::pair<double, double>>& bounds) = 0;
  // The planning group's solver; null when the group has none.
  virtual const KinematicsInterface* getKinematics() const = 0;
  // Whether the joint values are free of collision; changes the scene's working state.
  virtual bool isStateValid(const double* state) = 0;
  // Puts the gripper back to the scene's normal padding.
  virtual void restoreGripperPadding() = 0;
};
