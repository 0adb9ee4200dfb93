#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

#include "planning/motion_bisection.h"

namespace {

// The fractions of [0, 1] the bisection tests over n segments, `to` as 1, until `valid` refuses one.
std::vector<double> testedFractions(MotionBisection& bisection, int segment_count,
                                    const std::function<bool(double)>& valid = [](double) { return true; }) {
  std::vector<double> tested;
  double scratch = 0.0;
  const double to = 1.0;
  bisection.check(
      &to, segment_count,
      [&](const double* state) {
        tested.push_back(*state);
        return valid(*state);
      },
      [&](double fraction) {
        scratch = fraction;
        return &scratch;
      });
  return tested;
}

TEST(MotionBisection, TestsTheEndThenMidpointsLevelByLevel) {
  MotionBisection bisection;
  EXPECT_EQ(testedFractions(bisection, 8),
            (std::vector<double>{1.0, 4 / 8.0, 2 / 8.0, 6 / 8.0, 1 / 8.0, 3 / 8.0, 5 / 8.0, 7 / 8.0}));
  EXPECT_EQ(testedFractions(bisection, 5), (std::vector<double>{1.0, 2 / 5.0, 1 / 5.0, 3 / 5.0, 4 / 5.0}));
  EXPECT_EQ(testedFractions(bisection, 0), (std::vector<double>{1.0}));
  EXPECT_EQ(testedFractions(bisection, 8, [](double f) { return f != 1.0; }), (std::vector<double>{1.0}));
  EXPECT_EQ(testedFractions(bisection, 8, [](double f) { return f != 2 / 8.0; }),
            (std::vector<double>{1.0, 4 / 8.0, 2 / 8.0}));
  // The middles of the largest count stay inside the segment: the right half of the first split is the first
  // interval whose index sum exceeds the int range.
  int tests = 0;
  const std::vector<double> tested =
      testedFractions(bisection, std::numeric_limits<int>::max(), [&tests](double) { return ++tests < 4; });
  ASSERT_EQ(tested.size(), 4u);
  EXPECT_NEAR(tested[3], 0.75, 1e-9);
}

}  // namespace
