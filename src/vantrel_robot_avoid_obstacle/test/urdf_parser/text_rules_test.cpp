// Number, vector and colour texts: a failed text throws and leaves zeros.
#include <stdexcept>

#include <gtest/gtest.h>

#include "robot_model/urdf_parser/exception.h"
#include "robot_model/urdf_parser/material.h"
#include "robot_model/urdf_parser/pose.h"
#include "robot_model/urdf_parser/text.h"

namespace
{
TEST(TextRules, NumbersVectorsAndColours)
{
  EXPECT_DOUBLE_EQ(urdf::strToDouble("  -2e3"), -2000.0);
  for (const char* bad : {"1.5 ", "1,5", "1x", "", "nan", "inf", "1e999", static_cast<const char*>(nullptr)})
  {
    EXPECT_THROW(urdf::strToDouble(bad), std::runtime_error) << (bad ? bad : "null");
  }

  urdf::Vector3 v;
  v.init("  1   2 3 ");
  EXPECT_EQ(v.z, 3.0);
  for (const char* bad : {"1 2", "1\t2 3", "1 2 3 4"})
  {
    v.init("1 2 3");
    EXPECT_THROW(v.init(bad), urdf::ParseError) << bad;
    EXPECT_EQ(v.x, 0.0) << bad;
  }

  urdf::Color c;
  c.init("0.5 0.5 0.5");  // a wrong count is silent
  EXPECT_EQ(c.r, 0.0f);
  EXPECT_EQ(c.a, 1.0f);
  c.init("0.25 0.5 0.75 1");
  EXPECT_EQ(c.b, 0.75f);
  for (const char* bad : {"1 0 0 1.5", "1 0 x 1"})
  {
    c.init("1 1 1 1");
    EXPECT_THROW(c.init(bad), urdf::ParseError) << bad;
    EXPECT_EQ(c.r, 0.0f) << bad;
  }
}
}  // namespace
