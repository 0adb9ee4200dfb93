// The main job: the simulated peers of the node (controller, camera, command client) and a scripted
// series of commands (motions, refusals, a grab of the box and its release elsewhere), one table row per command, the executed trajectories and the obstacle cloud
// written to an output folder.
#ifndef ARM_SIM__MAIN_JOB__MAIN_JOB_HPP_
#define ARM_SIM__MAIN_JOB__MAIN_JOB_HPP_

#include <ostream>
#include <string>

#include <Eigen/Core>

#include "rclcpp/rclcpp.hpp"

namespace arm_sim
{

// What the job needs from the node's configuration file.
struct MainJobSettings
{
  std::string descriptions_path;
  std::string urdf_path;
  std::string srdf_path;
  std::string planning_group;
  double robot_padding;
  double robot_scale;
  double resolution;
  std::string action_name;
  std::string joint_states_topic;
  std::string move_joints_service;
  std::string grab_service;
  std::string release_service;
  Eigen::Matrix4d tool_matrix;
};

// Throws std::runtime_error for a missing file or key.
MainJobSettings readMainJobSettings(const std::string & config_path);

// Runs the job against the node reachable from `peer` (spun here). Prints the table to `table`;
// true when every command answered as expected.
bool runMainJob(
  const rclcpp::Node::SharedPtr & peer, const MainJobSettings & settings,
  const std::string & output_dir, std::ostream & table);

}  // namespace arm_sim

#endif  // ARM_SIM__MAIN_JOB__MAIN_JOB_HPP_
