#include "arm_sim/trajectory_playback.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <set>

namespace arm_sim
{
namespace
{

double seconds(const builtin_interfaces::msg::Duration & duration)
{
  return duration.sec + duration.nanosec * 1e-9;
}

// Controller index of each goal joint, or -1 for an unknown name.
std::vector<int> controllerIndices(
  const std::vector<std::string> & goal_names, const JointSet & joints)
{
  std::vector<int> indices;
  for (const auto & name : goal_names) {
    const auto found = std::find(joints.names.begin(), joints.names.end(), name);
    indices.push_back(found == joints.names.end() ? -1 :
      static_cast<int>(std::distance(joints.names.begin(), found)));
  }
  return indices;
}

}  // namespace

std::string findTrajectoryFault(
  const trajectory_msgs::msg::JointTrajectory & trajectory, const JointSet & joints)
{
  const auto indices = controllerIndices(trajectory.joint_names, joints);
  std::set<std::string> seen;
  for (size_t j = 0; j < indices.size(); ++j) {
    const std::string & name = trajectory.joint_names[j];
    if (indices[j] < 0) {
      return "unknown joint name \"" + name + "\"";
    }
    if (!seen.insert(name).second) {
      return "joint \"" + name + "\" named twice";
    }
  }
  if (trajectory.points.empty()) {
    return "trajectory without points";
  }
  double previous_time = -1.0;
  for (size_t i = 0; i < trajectory.points.size(); ++i) {
    const auto & point = trajectory.points[i];
    const std::string where = "point " + std::to_string(i) + ": ";
    if (point.positions.size() != indices.size()) {
      return where + std::to_string(point.positions.size()) + " positions for " +
             std::to_string(indices.size()) + " joints";
    }
    const double time = seconds(point.time_from_start);
    if (!std::isfinite(time) || time < 0.0 || time <= previous_time) {
      return where + "time from start does not increase";
    }
    previous_time = time;
    for (size_t j = 0; j < indices.size(); ++j) {
      const JointLimits & limits = joints.limits[indices[j]];
      const double position = point.positions[j];
      if (!std::isfinite(position)) {
        return where + "joint \"" + trajectory.joint_names[j] + "\" is not finite";
      }
      if (position < limits.lower || position > limits.upper) {
        return where + "joint \"" + trajectory.joint_names[j] + "\" beyond its limits";
      }
    }
  }
  return "";
}

TrajectoryPlayback::TrajectoryPlayback(
  const trajectory_msgs::msg::JointTrajectory & trajectory, const JointSet & joints,
  const std::vector<double> & start_positions)
{
  const auto indices = controllerIndices(trajectory.joint_names, joints);
  times_.push_back(0.0);
  positions_.push_back(start_positions);
  for (const auto & point : trajectory.points) {
    std::vector<double> row = positions_.back();
    for (size_t j = 0; j < indices.size(); ++j) {
      row[indices[j]] = point.positions[j];
    }
    const double time = seconds(point.time_from_start);
    if (time == 0.0) {  // a first sample at time 0 replaces the start
      positions_.back() = row;
      continue;
    }
    times_.push_back(time);
    positions_.push_back(std::move(row));
  }
}

std::vector<double> TrajectoryPlayback::positionsAt(double time) const
{
  if (time >= times_.back()) {
    return positions_.back();
  }
  if (time <= 0.0) {
    return positions_.front();
  }
  const size_t next = std::upper_bound(times_.begin(), times_.end(), time) - times_.begin();
  const double share = (time - times_[next - 1]) / (times_[next] - times_[next - 1]);
  std::vector<double> positions(positions_[next].size());
  for (size_t j = 0; j < positions.size(); ++j) {
    positions[j] = positions_[next - 1][j] + share * (positions_[next][j] - positions_[next - 1][j]);
  }
  return positions;
}

}  // namespace arm_sim
