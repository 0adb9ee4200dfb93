#pragma once

#include <vector>

// MDH tables (per joint: zd, xa, alpha, qzero) of the two test arms of the description package.
namespace arm_tables {

constexpr double kHalfPi = 1.5707963267948966;

struct MdhTable
{
  std::vector<double> zds;
  std::vector<double> xas;
  std::vector<double> alphas;
  std::vector<double> qzeros;
};

inline MdhTable arm6()
{
  return { { 0.30, 0.0, 0.10, 0.35, 0.0, 0.08 },
           { 0.0, 0.05, 0.40, 0.03, 0.0, 0.0 },
           { 0.0, kHalfPi, 0.0, kHalfPi, -kHalfPi, kHalfPi },
           { 0.0, kHalfPi, 0.0, 0.0, 0.0, 0.0 } };
}

inline MdhTable arm5()
{
  return { { 0.25, 0.0, 0.0, 0.0, 0.10 },
           { 0.0, 0.03, 0.30, 0.25, 0.02 },
           { 0.0, kHalfPi, 0.0, 0.0, -kHalfPi },
           { 0.0, kHalfPi, 0.0, 0.0, 0.0 } };
}

}  // namespace arm_tables
