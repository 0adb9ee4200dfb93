#pragma once

#include <string>

#include <yaml-cpp/yaml.h>

// A fresh working directory laid out like the repository root as the node sees it: the repository's robot
// descriptions linked in, and the configuration (when written) at the node's fixed relative path.
class NodeWorkspace {
 public:
  NodeWorkspace();
  ~NodeWorkspace();
  NodeWorkspace(const NodeWorkspace&) = delete;
  NodeWorkspace& operator=(const NodeWorkspace&) = delete;

  const std::string& path() const { return path_; }
  void writeConfig(const YAML::Node& config) const;
  void writeConfigText(const std::string& text) const;
  // Copies a description file or directory below the workspace so that a test can damage it.
  std::string copyIntoWorkspace(const std::string& repository_file, const std::string& relative_path) const;

 private:
  std::string path_;
};

// The test fixture configuration (every key, values apart from the defaults) as a document to change.
YAML::Node fullTestConfig();
// Points the configuration at the six-axis arm's description in `directory` (relative to the workspace).
void useArm6(YAML::Node& config, const char* directory);
std::string testFile(const std::string& relative_path);
std::string readText(const std::string& path);
