#pragma once

#include <string>

#include <yaml-cpp/yaml.h>

#include "scratch_directory.h"

// A fresh working directory, laid out like the repository root as the node sees it: the repository's robot
// descriptions linked in, and the configuration (when written) at the node's fixed relative path.
class NodeWorkspace {
 public:
  NodeWorkspace();

  void writeConfig(const YAML::Node& config) const;
  void writeConfigText(const std::string& text) const;
  // Copies a repository file or directory into the workspace so that a test can damage it; returns the copy.
  std::string copyIntoWorkspace(const std::string& repository_path, const std::string& relative_path) const;

 private:
  ScratchDirectory scratch_;
};

// The test configuration: every key, values apart from the defaults, the five-axis arm; with `change`, sections of
// keys in YAML, written over it (a null value removes its key, a section that is not a map replaces the section).
YAML::Node fullTestConfig(const std::string& change = "{}");
std::string testFile(const std::string& relative_path);
