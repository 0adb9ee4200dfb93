// Solver calls of the grab search's inner loop. The solvers print their solutions, so run with the
// standard output sent away and the figures written to a file, e.g.
//   kinematics_bench --benchmark_out=kinematics.txt --benchmark_out_format=console > /dev/null
#include "kinematics/orvane_bot_v3_kinematics.h"
#include "kinematics/six_axis_kinematics.h"
#include "test/kinematics/arm_tables.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace {

template <typename Solver>
Solver makeSolver(const arm_tables::MdhTable& table)
{
  Solver solver;
  solver.init(table.zds, table.xas, table.alphas, table.qzeros);
  return solver;
}

template <typename Solver>
void forwardKinematics(benchmark::State& state, const arm_tables::MdhTable& table, const std::vector<double>& q)
{
  const Solver solver = makeSolver<Solver>(table);
  for (auto _ : state) {
    benchmark::DoNotOptimize(solver.forwardKinematics(q));
  }
}

template <typename Solver>
void inverseKinematicsAllArmTypes(benchmark::State& state, const arm_tables::MdhTable& table,
                                  const std::vector<double>& q)
{
  const Solver solver = makeSolver<Solver>(table);
  const Eigen::MatrixXd pose = solver.forwardKinematics(q);
  std::vector<std::vector<double>> solutions;
  for (auto _ : state) {
    benchmark::DoNotOptimize(solver.inverseKinematicsAllArmTypes(pose, solutions));
  }
  state.counters["solutions"] = static_cast<double>(solutions.size());
}

const std::vector<double> kSixAxisQ{ 0.1, -0.2, 0.3, -0.4, 0.5, -0.6 };
const std::vector<double> kFiveAxisQ{ 0.1, -0.2, 0.3, -0.4, 0.5 };

void BM_SixAxisForwardKinematics(benchmark::State& state)
{
  forwardKinematics<SixAxisKinematics>(state, arm_tables::arm6(), kSixAxisQ);
}

void BM_SixAxisInverseKinematicsAllArmTypes(benchmark::State& state)
{
  inverseKinematicsAllArmTypes<SixAxisKinematics>(state, arm_tables::arm6(), kSixAxisQ);
}

void BM_FiveAxisForwardKinematics(benchmark::State& state)
{
  forwardKinematics<OrvaneBotV3Kinematics>(state, arm_tables::arm5(), kFiveAxisQ);
}

void BM_FiveAxisInverseKinematicsAllArmTypes(benchmark::State& state)
{
  inverseKinematicsAllArmTypes<OrvaneBotV3Kinematics>(state, arm_tables::arm5(), kFiveAxisQ);
}

BENCHMARK(BM_SixAxisForwardKinematics);
BENCHMARK(BM_SixAxisInverseKinematicsAllArmTypes);
BENCHMARK(BM_FiveAxisForwardKinematics);
BENCHMARK(BM_FiveAxisInverseKinematicsAllArmTypes);

}  // namespace
