// What a joint-trajectory controller checks in a goal, and where the arm is at a time of an
// accepted trajectory. Free of any transport so the rules can be tested on their own.
#ifndef ARM_SIM__TRAJECTORY_PLAYBACK_HPP_
#define ARM_SIM__TRAJECTORY_PLAYBACK_HPP_

#include <string>
#include <vector>

#include "trajectory_msgs/msg/joint_trajectory.hpp"

namespace arm_sim
{

struct JointLimits
{
  double lower;
  double upper;
};

// The controller's joints, in its own order.
struct JointSet
{
  std::vector<std::string> names;
  std::vector<JointLimits> limits;  // one per name
};

// Empty when the controller accepts the trajectory, otherwise why not: an unknown or repeated
// joint name, no points, a point whose positions do not match the names, a non-finite value,
// times that are negative or do not strictly increase, or a position beyond its joint's limits.
std::string findTrajectoryFault(
  const trajectory_msgs::msg::JointTrajectory & trajectory, const JointSet & joints);

// An accepted trajectory laid out in the controller's joint order: joints the goal does not
// name hold their start position. Positions between samples are interpolated linearly; before
// the first sample the arm moves from the start positions (time 0) to it.
class TrajectoryPlayback
{
public:
  // The trajectory must have passed findTrajectoryFault.
  TrajectoryPlayback(
    const trajectory_msgs::msg::JointTrajectory & trajectory, const JointSet & joints,
    const std::vector<double> & start_positions);

  double duration() const {return times_.back();}
  std::vector<double> positionsAt(double time) const;

private:
  std::vector<double> times_;                    // seconds, starting with 0 for the start
  std::vector<std::vector<double>> positions_;   // controller order, one row per time
};

}  // namespace arm_sim

#endif  // ARM_SIM__TRAJECTORY_PLAYBACK_HPP_
