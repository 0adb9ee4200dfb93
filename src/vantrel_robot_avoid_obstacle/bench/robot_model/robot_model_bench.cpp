// Model construction from the arm6 description (meshes included) and the first step of every validity
// check: writing the planning group's values and updating the collision-body transforms.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <unistd.h>

#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/core/robot_state.h"

namespace {

const std::string kDirectory =
    std::string(RAO_SOURCE_DIR) + "/src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/";
const std::string kUrdf = "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
const std::string kSrdf = "srdf/arm6_and_whole_gripper_linker.srdf";

// The model prints its build steps; keep them out of the benchmark output.
class QuietStdout {
 public:
  QuietStdout() : saved_(dup(STDOUT_FILENO)) {
    fflush(stdout);
    if (!freopen("/dev/null", "w", stdout)) saved_ = -1;
  }
  ~QuietStdout() {
    fflush(stdout);
    if (saved_ >= 0) {
      dup2(saved_, STDOUT_FILENO);
      close(saved_);
    }
  }

 private:
  int saved_;
};

void BM_ConstructArm6Model(benchmark::State& state) {
  QuietStdout quiet;
  for (auto _ : state) {
    robot_model::core::RobotModel model(kDirectory, kUrdf, kSrdf);
    benchmark::DoNotOptimize(model.getLinkGeometryCount());
  }
}
BENCHMARK(BM_ConstructArm6Model)->Unit(benchmark::kMillisecond);

void BM_SetArmValuesAndUpdateCollisionBodies(benchmark::State& state) {
  std::shared_ptr<const robot_model::core::RobotModel> model;
  {
    QuietStdout quiet;
    model = std::make_shared<const robot_model::core::RobotModel>(kDirectory, kUrdf, kSrdf);
  }
  const robot_model::core::JointModelGroup* arm = model->getJointModelGroup("arm");
  robot_model::core::RobotState robot_state(model);
  std::mt19937 engine(7);
  std::uniform_real_distribution<double> angle(-2.0, 2.0);
  std::vector<std::vector<double>> samples(256, std::vector<double>(arm->getVariableCount()));
  for (auto& sample : samples) {
    for (double& value : sample) value = angle(engine);
  }
  std::size_t i = 0;
  for (auto _ : state) {
    robot_state.setJointGroupPositions(arm, samples[i++ & 255].data());
    robot_state.updateCollisionBodyTransforms();
    benchmark::DoNotOptimize(robot_state.getCollisionBodyTransform(0).matrix().data());
  }
  // Per link moved by the group.
  state.counters["links"] = static_cast<double>(arm->getUpdatedLinkModels().size());
  state.counters["ns_per_link"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * arm->getUpdatedLinkModels().size(),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SetArmValuesAndUpdateCollisionBodies);

}  // namespace
