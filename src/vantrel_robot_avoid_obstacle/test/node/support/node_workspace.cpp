#include "node_workspace.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

NodeWorkspace::NodeWorkspace() {
  std::string pattern = (fs::temp_directory_path() / "rao_node_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary directory");
  path_ = pattern;
  fs::create_directories(fs::path(path_) / "src/vantrel_robot_avoid_obstacle/config");
  fs::create_directory_symlink(fs::path(RAO_SOURCE_DIR) / "src/robot_avoid_obstacle",
                               fs::path(path_) / "src/robot_avoid_obstacle");
}

NodeWorkspace::~NodeWorkspace() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void NodeWorkspace::writeConfig(const YAML::Node& config) const { writeConfigText(YAML::Dump(config) + "\n"); }

void NodeWorkspace::writeConfigText(const std::string& text) const {
  std::ofstream(fs::path(path_) / "src/vantrel_robot_avoid_obstacle/config/config_params.yaml") << text;
}

std::string NodeWorkspace::copyIntoWorkspace(const std::string& repository_file, const std::string& relative_path) const {
  const fs::path target = fs::path(path_) / relative_path;
  fs::create_directories(target.parent_path());
  fs::copy(fs::path(RAO_SOURCE_DIR) / repository_file, target, fs::copy_options::recursive);
  return target.string();
}

YAML::Node fullTestConfig() { return YAML::LoadFile(testFile("fixtures/full_config.yaml")); }

void useArm6(YAML::Node& config, const char* directory) {
  config["robot_avoid_obstacle"]["robot_descriptions_path"] = directory;
  config["robot_avoid_obstacle"]["urdf_path"] = "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
  config["robot_avoid_obstacle"]["srdf_path"] = "srdf/arm6_and_whole_gripper_linker.srdf";
  config["robot_avoid_obstacle"]["planned_joint_group"] = "arm";
}

std::string testFile(const std::string& relative_path) {
  return std::string(RAO_SOURCE_DIR) + "/src/vantrel_robot_avoid_obstacle/test/node/" + relative_path;
}

std::string readText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}
