#include "description_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace rao_test {

namespace fs = std::filesystem;

const char* const kArm6Urdf = "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
const char* const kArm6Srdf = "srdf/arm6_and_whole_gripper_linker.srdf";
const char* const kArm5Urdf = "urdf/arm5.urdf";
const char* const kArm5Srdf = "srdf/arm5.srdf";

const std::string kDescriptions =
    std::string(RAO_SOURCE_DIR) + "/src/robot_avoid_obstacle/resources/robot_descriptions/";

std::string arm6Directory() { return kDescriptions + "arm6_description/"; }
std::string arm5Directory() { return kDescriptions + "arm5_description/"; }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void replaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::runtime_error("fixture text not found: " + from);
  text.replace(at, from.size(), to);
}

std::shared_ptr<const robot_model::core::RobotModel> arm6Model() {
  static const std::shared_ptr<const robot_model::core::RobotModel> model =
      std::make_shared<const robot_model::core::RobotModel>(arm6Directory(), kArm6Urdf, kArm6Srdf);
  return model;
}

std::shared_ptr<const robot_model::core::RobotModel> buildModel(const std::string& directory, const char* urdf,
                                                                const char* srdf, std::string* printed) {
  std::shared_ptr<const robot_model::core::RobotModel> model;
  const std::string out =
      captureStdout([&] { model = std::make_shared<const robot_model::core::RobotModel>(directory, urdf, srdf); });
  if (printed) *printed = out;
  return model;
}

TempDescription::TempDescription()
    : urdf(readFile(arm6Directory() + kArm6Urdf)), srdf(readFile(arm6Directory() + kArm6Srdf)) {
  std::string pattern = (fs::temp_directory_path() / "rao_description_XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  directory_ = pattern + "/";
  fs::create_directories(directory_ + "urdf");
  fs::create_directories(directory_ + "srdf");
  fs::copy(arm6Directory() + "meshes", directory_ + "meshes");
}

TempDescription::~TempDescription() {
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

void TempDescription::write() const {
  std::ofstream(directory_ + kArm6Urdf, std::ios::binary) << urdf;
  std::ofstream(directory_ + kArm6Srdf, std::ios::binary) << srdf;
}

std::shared_ptr<const robot_model::core::RobotModel> TempDescription::build(std::string* printed) const {
  write();
  return buildModel(directory_, kArm6Urdf, kArm6Srdf, printed);
}

}  // namespace rao_test
