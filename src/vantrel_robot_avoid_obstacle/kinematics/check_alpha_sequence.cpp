#include "kinematics/check_alpha_sequence.h"

#include <cmath>
#include <cstdio>

namespace {
constexpr double kOneDegree = 0.017453292519943295;
}

bool checkAlphaSequence(const std::vector<double>& a, const std::vector<double>& b)
{
  if (a.size() != b.size()) {
    std::puts("vector a size not equal vector b size");
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    // Written so that a NaN twist does not pass as a match.
    if (!(std::fabs(a[i] - b[i]) <= kOneDegree)) {
      std::puts("alpha sequence not equal");
      return false;
    }
  }
  return true;
}
