#include "kinematics/check_alpha_sequence.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr double kOneDegree = 0.017453292519943295;

TEST(CheckAlphaSequenceTest, AcceptsUpToOneDegreePerElement)
{
  EXPECT_TRUE(checkAlphaSequence({ 0.0, 0.0 }, { kOneDegree, -kOneDegree }));
  EXPECT_TRUE(checkAlphaSequence({}, {}));
  CaptureStdout();
  EXPECT_FALSE(checkAlphaSequence({ 0.0, 0.0 }, { 0.0, std::nextafter(kOneDegree, 1.0) }));
  EXPECT_FALSE(checkAlphaSequence({ 0.0 }, { NAN }));
  EXPECT_FALSE(checkAlphaSequence({ 0.0 }, { 0.0, 0.0 }));
  GetCapturedStdout();
}

}  // namespace
