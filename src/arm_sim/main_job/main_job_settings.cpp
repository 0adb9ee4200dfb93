#include <stdexcept>

#include <yaml-cpp/yaml.h>

#include "main_job.hpp"

namespace arm_sim
{

namespace
{

YAML::Node required(const YAML::Node & parent, const char * section, const char * key)
{
  const YAML::Node value = parent[section][key];
  if (!value) {
    throw std::runtime_error(std::string("main job: the configuration lacks ") + section + "." + key);
  }
  return value;
}

}  // namespace

MainJobSettings readMainJobSettings(const std::string & config_path)
{
  YAML::Node config;
  try {
    config = YAML::LoadFile(config_path);
  } catch (const YAML::Exception & e) {
    throw std::runtime_error("main job: cannot read " + config_path + ": " + e.what());
  }
  const char * robot = "robot_avoid_obstacle";
  const char * grab = "grab_garbage_module";
  MainJobSettings settings;
  settings.descriptions_path = required(config, robot, "robot_descriptions_path").as<std::string>();
  settings.urdf_path = required(config, robot, "urdf_path").as<std::string>();
  settings.srdf_path = required(config, robot, "srdf_path").as<std::string>();
  settings.planning_group = required(config, robot, "planned_joint_group").as<std::string>();
  settings.robot_padding = required(config, robot, "robot_padding").as<double>();
  settings.robot_scale = required(config, robot, "robot_scale").as<double>();
  settings.resolution = required(config, "point_clouds", "resolution").as<double>();
  settings.action_name = required(config, robot, "robot_follow_joint_trajectory_topic").as<std::string>();
  settings.joint_states_topic = required(config, robot, "joints_state_topic").as<std::string>();
  settings.move_joints_service = required(config, grab, "arm_move_joints_srv_name").as<std::string>();
  settings.grab_service = required(config, grab, "arm_grab_srv_name").as<std::string>();
  settings.release_service = required(config, grab, "arm_release_srv_name").as<std::string>();
  const auto tool = required(config, grab, "tool_matrix")["data"].as<std::vector<double>>();
  if (tool.size() != 16) {
    throw std::runtime_error("main job: tool_matrix needs 16 values");
  }
  for (int i = 0; i < 16; ++i) {
    settings.tool_matrix(i / 4, i % 4) = tool[i];
  }
  return settings;
}

}  // namespace arm_sim
