// The solvers' trace lines against the stream and printf formats they stand in for.
#include "kinematics/joint_values_printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// Magnitudes across every formatting branch, rounding ties and decade edges included, in pairs so that the separators
// are checked too; and prefixes around and beyond the printer's line buffer, printed whole.
TEST(JointValuesPrinterTest, MatchesTheStreamAndPrintfFormats)
{
  std::vector<double> values{ 0.0, -0.0, 1e-4, 9.99999e-5, 9.999995e-5, 0.1234565, 2.5, 999999.5, 999999.4,
                              -999999.6, 1e6, 123456.5, 0.5, 1.0 / 3.0, 3.14159265358979, 1e-320, 1e300,
                              std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN() };
  std::mt19937_64 generator(3);
  for (int i = 0; i < 10000; ++i) {
    values.push_back(std::uniform_real_distribution<double>(-10.0, 10.0)(generator) *
                     std::pow(10.0, std::uniform_int_distribution<int>(-8, 9)(generator)));
    // Decimal ties at the sixth significant digit and at the sixth decimal.
    values.push_back(std::uniform_int_distribution<int>(100000, 999999)(generator) / 1e6 + 5e-7);
    values.push_back(std::uniform_int_distribution<int>(-999999, 999999)(generator) / 1e4 + 5e-5);
  }
  std::string expected;
  CaptureStdout();
  for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
    printJointValues("q:", &values[i], 2);
    printJointValuesFixed(&values[i], 2);
    std::ostringstream stream;
    stream << "q:" << values[i] << "," << values[i + 1] << "\n";
    char fixed[800];
    std::snprintf(fixed, sizeof(fixed), "%lf,%lf,\n", values[i], values[i + 1]);
    expected += stream.str() + fixed;
  }
  for (std::size_t length : { 1021, 1022, 1023, 5000 }) {
    const std::string prefix(length, 'p');
    printJointValues(prefix.c_str(), values.data() + 6, 2);
    expected += prefix + "2.5,1e+06\n";
  }
  const std::string printed = GetCapturedStdout();
  const std::size_t at = std::mismatch(printed.begin(), printed.end(), expected.begin(), expected.end()).first -
                         printed.begin();
  EXPECT_TRUE(printed == expected) << "differs at \"" << printed.substr(at < 40 ? 0 : at - 40, 80) << "\"";
}

}  // namespace
