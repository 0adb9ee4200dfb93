#include "node_workspace.h"

namespace fs = std::filesystem;

namespace {
const char* const kConfigFile = "src/vantrel_robot_avoid_obstacle/config/config_params.yaml";
}

NodeWorkspace::NodeWorkspace() {
  fs::create_directories(fs::path(kConfigFile).parent_path());
  fs::create_directory_symlink(fs::path(RAO_SOURCE_DIR) / "src/robot_avoid_obstacle", "src/robot_avoid_obstacle");
}

void NodeWorkspace::writeConfig(const YAML::Node& config) const { writeConfigText(YAML::Dump(config) + "\n"); }

void NodeWorkspace::writeConfigText(const std::string& text) const { writeFile(kConfigFile, text); }

std::string NodeWorkspace::copyIntoWorkspace(const std::string& repository_path,
                                             const std::string& relative_path) const {
  const fs::path target = fs::absolute(relative_path);
  fs::create_directories(target.parent_path());
  fs::copy(fs::path(RAO_SOURCE_DIR) / repository_path, target, fs::copy_options::recursive);
  return target.string();
}

YAML::Node fullTestConfig(const std::string& change) {
  YAML::Node config = YAML::LoadFile(testFile("fixtures/full_config.yaml"));
  for (const auto& section : YAML::Load(change)) {
    YAML::Node target = config[section.first.as<std::string>()];
    if (!section.second.IsMap()) target = section.second;
    for (const auto& key : section.second) {
      const std::string name = key.first.as<std::string>();
      target[name] = key.second;
      if (key.second.IsNull()) target.remove(name);
    }
  }
  return config;
}

std::string testFile(const std::string& relative_path) {
  return std::string(RAO_SOURCE_DIR) + "/src/vantrel_robot_avoid_obstacle/test/node/" + relative_path;
}
