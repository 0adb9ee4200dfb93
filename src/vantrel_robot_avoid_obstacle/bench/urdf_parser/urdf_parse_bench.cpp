// Parse time of the arm's URDF, from text in memory and from the file.
#include <fstream>
#include <iterator>
#include <string>

#include <benchmark/benchmark.h>

#include "robot_model/urdf_parser/urdf_parser.h"

namespace
{
const std::string kArm6Urdf = std::string(RAO_SOURCE_DIR) +
                              "/src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/urdf/"
                              "arm6_and_whole_gripper_linker_shim_camera.urdf";

void parseArm6Text(benchmark::State& state)
{
  std::ifstream stream(kArm6Urdf);
  const std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  if (!urdf::parseURDF(text))
  {
    state.SkipWithError("the arm6 URDF does not parse");
    return;
  }
  for (auto _ : state)
  {
    benchmark::DoNotOptimize(urdf::parseURDF(text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(parseArm6Text)->Unit(benchmark::kMicrosecond);

void parseArm6File(benchmark::State& state)
{
  for (auto _ : state)
  {
    benchmark::DoNotOptimize(urdf::parseURDFFile(kArm6Urdf));
  }
}
BENCHMARK(parseArm6File)->Unit(benchmark::kMicrosecond);
}  // namespace
