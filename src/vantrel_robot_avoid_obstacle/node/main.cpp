// Loads the robot description named by the configuration and reports what it holds.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <yaml-cpp/yaml.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"

namespace
{
const char* const kConfigPath = "./src/vantrel_robot_avoid_obstacle/config/config_params.yaml";

struct DescriptionPaths
{
  std::string directory = "./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/";
  std::string urdf = "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
  std::string srdf = "srdf/arm6_and_whole_gripper_linker.srdf";
};

// A missing or unusable entry keeps its default.
void readString(const YAML::Node& section, const char* key, std::string& value)
{
  try
  {
    const YAML::Node node = section[key];
    if (node.IsDefined() && node.IsScalar())
    {
      value = node.as<std::string>();
      return;
    }
  }
  catch (const YAML::Exception&)
  {
  }
  std::printf("%s: no usable \"%s\", using \"%s\"\n", kConfigPath, key, value.c_str());
}

DescriptionPaths readDescriptionPaths()
{
  DescriptionPaths paths;
  YAML::Node section;
  try
  {
    section = YAML::LoadFile(kConfigPath)["robot_avoid_obstacle"];
  }
  catch (const YAML::Exception& e)
  {
    std::printf("%s: %s; using the default description\n", kConfigPath, e.what());
    return paths;
  }
  if (!section.IsMap())
  {
    std::printf("%s: no section \"robot_avoid_obstacle\"; using the default description\n", kConfigPath);
    return paths;
  }
  readString(section, "robot_descriptions_path", paths.directory);
  readString(section, "urdf_path", paths.urdf);
  readString(section, "srdf_path", paths.srdf);
  return paths;
}
}  // namespace

int main()
{
  const DescriptionPaths paths = readDescriptionPaths();
  const std::string urdf_path = paths.directory + paths.urdf;
  const std::string srdf_path = paths.directory + paths.srdf;

  const std::shared_ptr<urdf::ModelInterface> urdf_model = urdf::parseURDFFile(urdf_path);
  if (!urdf_model)
  {
    std::fprintf(stderr, "robot_avoid_obstacle: the URDF %s could not be loaded\n", urdf_path.c_str());
    return 1;
  }
  if (!std::ifstream(srdf_path).is_open())
  {
    std::fprintf(stderr, "robot_avoid_obstacle: the SRDF %s could not be opened\n", srdf_path.c_str());
    return 1;
  }
  srdf::Model srdf_model;
  srdf_model.initFile(*urdf_model, srdf_path);
  if (srdf_model.getGroups().empty())
  {
    std::fprintf(stderr, "robot_avoid_obstacle: the SRDF %s gave no joint group\n", srdf_path.c_str());
    return 1;
  }

  std::printf("robot '%s' (root link '%s'): %zu links, %zu joints, %zu groups\n", urdf_model->name_.c_str(),
              urdf_model->getRoot()->name.c_str(), urdf_model->links_.size(), urdf_model->joints_.size(),
              srdf_model.getGroups().size());
  return 0;
}
