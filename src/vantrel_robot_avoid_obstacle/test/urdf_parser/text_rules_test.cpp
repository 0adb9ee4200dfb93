// Number, vector, colour and version texts; the version faults are the exact-output check of the parser's messages.
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "robot_model/urdf_parser/exception.h"
#include "robot_model/urdf_parser/material.h"
#include "robot_model/urdf_parser/pose.h"
#include "robot_model/urdf_parser/text.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"

namespace
{
using console_bridge::CONSOLE_BRIDGE_LOG_ERROR;

TEST(StrToDouble, WholeTextMustBeOneNumber)
{
  EXPECT_DOUBLE_EQ(urdf::strToDouble("  1.5"), 1.5);
  EXPECT_DOUBLE_EQ(urdf::strToDouble("-2e3"), -2000.0);
  for (const char* bad : {"1.5 ", "1,5", "1x", "", "nan", "inf", "1e999"})
  {
    EXPECT_THROW(urdf::strToDouble(bad), std::runtime_error) << '"' << bad << '"';
  }
  EXPECT_THROW(urdf::strToDouble(nullptr), std::runtime_error);
}

TEST(Vector3Init, SpacesAnywhereButOnlySpaces)
{
  urdf::Vector3 v;
  v.init("  1   2 3 ");
  EXPECT_EQ(v.y, 2.0);
  EXPECT_EQ(v.z, 3.0);
  EXPECT_THROW(v.init("1 2"), urdf::ParseError);
  EXPECT_EQ(v.x, 0.0) << "a failed text leaves zeros";
  EXPECT_THROW(v.init("1\t2 3"), urdf::ParseError);
  EXPECT_THROW(v.init("1 2 3 4"), urdf::ParseError);
}

TEST(ColorInit, WrongCountIsSilentOutOfRangeThrows)
{
  urdf::Color c;
  c.init("0.5 0.5 0.5");
  EXPECT_EQ(c.r, 0.0f);
  EXPECT_EQ(c.a, 1.0f);
  c.init("0.25 0.5 0.75 1");
  EXPECT_EQ(c.b, 0.75f);
  EXPECT_THROW(c.init("1 0 0 1.5"), urdf::ParseError);
  EXPECT_EQ(c.r, 0.0f);
  EXPECT_THROW(c.init("1 0 x 1"), urdf::ParseError);
}

TEST(Version, OnlyOnePointZeroIsAccepted)
{
  const auto withVersion = [](const std::string& version) {
    return "<robot name=\"r\" version=\"" + version + "\"><link name=\"a\"/></robot>";
  };
  {
    ConsoleCapture capture;
    EXPECT_TRUE(urdf::parseURDF("<robot name=\"r\"><link name=\"a\"/></robot>"));
    for (const char* version : {"1.0", "1.00", " 1.0", "1.0."})
    {
      EXPECT_TRUE(urdf::parseURDF(withVersion(version))) << version;
    }
    EXPECT_TRUE(capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_WARN).empty());
  }
  const struct
  {
    const char* version;
    const char* message;
  } rejected[] = {
      {"1", "The version attribute should be in the form 'x.y'"},
      {"2.0", "Invalid 'version' specified; only version 1.0 is currently supported"},
      {"1.0.0", "The version attribute should be in the form 'x.y'"},
      {"a.0", "Version attribute is not an integer"},
      {".0", "One of the fields of the version attribute is blank"},
      {"1.0x", "Extra characters after the version number"},
      {"-1.0", "Version number must be positive"},
  };
  for (const auto& c : rejected)
  {
    ConsoleCapture capture;
    EXPECT_FALSE(urdf::parseURDF(withVersion(c.version))) << c.version;
    ASSERT_EQ(capture.atLeast(CONSOLE_BRIDGE_LOG_ERROR).size(), 1u) << c.version;
    EXPECT_TRUE(capture.contains(CONSOLE_BRIDGE_LOG_ERROR, "urdf_parser/model", 133, c.message)) << c.version;
  }
}
}  // namespace
