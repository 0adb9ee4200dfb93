#pragma once

#include "kinematics/kinematics_interface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <vector>

// Helpers of the solver tests: round trips over many joint vectors (the pose of each vector is
// solved in every configuration and each solution checked by forward kinematics), and the
// solvers' trace output.
namespace solver_test {

// What f prints to standard output.
template <typename F>
std::string printedBy(F f)
{
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

constexpr double kPi = 3.14159265358979323846;

// Every joint vector whose values come from 0, +-pi/2, +-pi and the joint's own generic value.
inline void forEachGridVector(const std::vector<double>& generic,
                              const std::function<void(const std::vector<double>&)>& visit)
{
  const double special[] = { -kPi, -kPi / 2.0, 0.0, kPi / 2.0, kPi };
  std::size_t combinations = 1;
  for (std::size_t j = 0; j < generic.size(); ++j) {
    combinations *= 6;
  }
  std::vector<double> q(generic.size());
  for (std::size_t index = 0; index < combinations; ++index) {
    std::size_t digits = index;
    for (std::size_t j = 0; j < q.size(); ++j, digits /= 6) {
      q[j] = digits % 6 == 5 ? generic[j] : special[digits % 6];
    }
    visit(q);
  }
}

// count joint vectors of dof values drawn uniformly from (-3.1, 3.1).
inline void forEachRandomVector(std::size_t dof, unsigned seed, int count,
                                const std::function<void(const std::vector<double>&)>& visit)
{
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> angle(-3.1, 3.1);
  std::vector<double> q(dof);
  for (int i = 0; i < count; ++i) {
    std::generate(q.begin(), q.end(), [&] { return angle(generator); });
    visit(q);
  }
}

// Joint vectors whose pose got a solution that misses it, and regular joint vectors (off every
// singularity) that are not among their pose's solutions up to whole turns.
struct Tally
{
  int solutions = 0;
  std::vector<std::vector<double>> wrong;
  std::vector<std::vector<double>> missed;

  void add(const KinematicsInterface& solver, const std::vector<double>& q, bool regular)
  {
    const Eigen::MatrixXd pose = solver.forwardKinematics(q);
    std::vector<std::vector<double>> found;
    solver.inverseKinematicsAllArmTypes(pose, found);
    bool reproduces = true;
    bool contains_q = false;
    for (const std::vector<double>& solution : found) {
      reproduces = reproduces && ((solver.forwardKinematics(solution) - pose).array().abs() <= 1e-9).all();
      contains_q = contains_q || std::equal(q.begin(), q.end(), solution.begin(), [](double a, double b) {
                     return std::fabs(std::remainder(a - b, 2.0 * kPi)) < 1e-7;
                   });
    }
    solutions += static_cast<int>(found.size());
    if (!reproduces) {
      wrong.push_back(q);
    }
    if (regular && !contains_q) {
      missed.push_back(q);
    }
  }
};

}  // namespace solver_test
