#pragma once

#include "kinematics/kinematics_interface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Helpers of the solver tests: round trips over many joint vectors (the pose of each vector is
// solved in every configuration and each solution checked by forward kinematics), the solvers'
// trace output, and values compared within 1e-9.
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

using Visit = std::function<void(const std::vector<double>&)>;

// Every joint vector whose values come from 0, +-pi/2, +-pi and the joint's own generic value.
inline void forEachGridVector(const std::vector<double>& generic, const Visit& visit)
{
  const double special[] = { -kPi, -kPi / 2.0, 0.0, kPi / 2.0, kPi };
  const auto combinations = static_cast<std::size_t>(std::pow(6.0, static_cast<double>(generic.size())));
  std::vector<double> q(generic.size());
  for (std::size_t index = 0; index < combinations; ++index) {
    std::size_t digits = index;
    for (std::size_t j = 0; j < q.size(); ++j, digits /= 6) {
      q[j] = digits % 6 == 5 ? generic[j] : special[digits % 6];
    }
    visit(q);
  }
}

inline void expectNear(const std::vector<double>& actual, const std::vector<double>& expected)
{
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], 1e-9) << "joint " << i;
  }
}

// Solves the pose of every joint vector that `sweep` visits in every configuration. Expects each
// solution to reproduce its pose, each regular joint vector (off every singularity) to be among its
// pose's solutions up to whole turns, and more than `least_solutions` solutions in all.
inline void expectSweepSolvesBack(const KinematicsInterface& solver, const std::function<void(const Visit&)>& sweep,
                                  const std::function<bool(const std::vector<double>&)>& regular,
                                  int least_solutions)
{
  int solutions = 0;
  std::vector<std::vector<double>> wrong, missed;
  printedBy([&] {
    sweep([&](const std::vector<double>& q) {
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
      if (regular(q) && !contains_q) {
        missed.push_back(q);
      }
    });
  });
  EXPECT_TRUE(wrong.empty()) << "solutions missing their pose: " << testing::PrintToString(wrong);
  EXPECT_TRUE(missed.empty()) << "not among their pose's solutions: " << testing::PrintToString(missed);
  EXPECT_GT(solutions, least_solutions);
}

}  // namespace solver_test
