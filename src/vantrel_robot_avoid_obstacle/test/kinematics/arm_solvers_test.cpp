// The closed-form solvers on the test arms' tables: references, special-angle sweeps, codes; twist check; traces.
#include "kinematics/check_alpha_sequence.h"
#include "kinematics/joint_values_printer.h"
#include "kinematics/orvane_bot_v3_kinematics.h"
#include "kinematics/six_axis_kinematics.h"
#include "test/kinematics/arm_tables.h"

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using arm_tables::kHalfPi;
constexpr double kPi = 3.14159265358979323846;
const std::vector<double> kQ6{ 0.1, -0.2, 0.3, -0.4, 0.5, -0.6 };
const std::vector<double> kQ5{ 0.1, -0.2, 0.3, -0.4, 0.5 };

template <typename F>
std::string printedBy(F f)
{
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

using Visit = std::function<void(const std::vector<double>&)>;

// Every joint vector whose values come from 0, +-pi/2, +-pi and the joint's own generic value.
void forEachGridVector(const std::vector<double>& generic, const Visit& visit)
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

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected)
{
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], 1e-9) << "joint " << i;
  }
}

// Solves the pose of every joint vector that `sweep` visits in every configuration. Expects each solution to reproduce
// its pose, each regular joint vector (off every singularity) to be among its pose's solutions up to whole turns, and
// more than `least_solutions` solutions in all.
void expectSweepSolvesBack(const KinematicsInterface& solver, const std::function<void(const Visit&)>& sweep,
                           const std::function<bool(const std::vector<double>&)>& regular, int least_solutions)
{
  int solutions = 0;
  std::vector<std::vector<double>> wrong, missed;
  printedBy([&] {
    sweep([&](const std::vector<double>& q) {
      const Eigen::MatrixXd pose = solver.forwardKinematics(q);
      std::vector<std::vector<double>> found;
      solver.inverseKinematicsAllArmTypes(pose, found);
      bool contains_q = false;
      for (const std::vector<double>& solution : found) {
        if (!((solver.forwardKinematics(solution) - pose).array().abs() <= 1e-9).all()) {
          wrong.push_back(q);
        }
        contains_q = contains_q || std::equal(q.begin(), q.end(), solution.begin(), [](double a, double b) {
                       return std::fabs(std::remainder(a - b, 2.0 * kPi)) < 1e-7;
                     });
      }
      solutions += static_cast<int>(found.size());
      if (regular(q) && !contains_q) {
        missed.push_back(q);
      }
    });
  });
  EXPECT_TRUE(wrong.empty()) << "solutions missing their pose: " << testing::PrintToString(wrong);
  EXPECT_TRUE(missed.empty()) << "not among their pose's solutions: " << testing::PrintToString(missed);
  EXPECT_GT(solutions, least_solutions);
}

// The solver initialised with its arm's table.
template <typename Solver>
class SolverTest : public testing::Test
{
protected:
  void SetUp() override
  {
    printedBy([&] { ASSERT_EQ(solver_.init(table_.zds, table_.xas, table_.alphas, table_.qzeros), 0); });
  }

  // Configuration k as its three bits: shoulder, elbow, wrist.
  int solveArmType(const Eigen::MatrixXd& pose, int k, std::vector<double>& q)
  {
    const int arm_type[3] = { (k >> 2) & 1, (k >> 1) & 1, k & 1 };
    return solver_.inverseKinematicsForArmType(pose, arm_type, q);
  }

  const arm_tables::MdhTable table_ =
      std::is_same_v<Solver, SixAxisKinematics> ? arm_tables::arm6() : arm_tables::arm5();
  Solver solver_;
};
using SixAxisTest = SolverTest<SixAxisKinematics>;
using FiveAxisTest = SolverTest<OrvaneBotV3Kinematics>;

TEST(CheckAlphaSequenceTest, AcceptsUpToOneDegreePerElement)
{
  constexpr double kOneDegree = 0.017453292519943295;
  EXPECT_TRUE(checkAlphaSequence({ 0.0, 0.0 }, { kOneDegree, -kOneDegree }));
  printedBy([] {
    EXPECT_FALSE(checkAlphaSequence({ 0.0, 0.0 }, { 0.0, std::nextafter(kOneDegree, 1.0) }));
    EXPECT_FALSE(checkAlphaSequence({ 0.0 }, { NAN }));
    EXPECT_FALSE(checkAlphaSequence({ 0.0 }, { 0.0, 0.0 }));
  });
}

// Forward kinematics at two reference vectors; configuration (1, 1, 0) finds the original's other wrist and the
// single-solution form the original. Tables outside the closed form; singular poses, non-finite or wrongly sized
// poses, and a rotation part that is no rotation (the closed form still yields angles, whose pose differs): each with
// its code, and no solutions.
TEST_F(SixAxisTest, ReferencePosesChoiceOfSolutionAndCodesWithoutAnExactSolution)
{
  const Eigen::MatrixXd stretched = solver_.forwardKinematics(std::vector<double>(6, 0.0));
  Eigen::Matrix4d stretched_reference;
  stretched_reference << 0, 0, 1, 0.48, 0, -1, 0, -0.10, 1, 0, 0, 0.73, 0, 0, 0, 1;
  EXPECT_TRUE(stretched.isApprox(stretched_reference, 1e-9));
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQ6);
  expectNear({ pose(0, 3), pose(1, 3), pose(2, 3), pose(0, 0), pose(0, 1), pose(0, 2) },
             { 0.546842536, -0.030624066, 0.798977345, -0.516248927, -0.288641543, 0.806333123 });
  printedBy([&] { EXPECT_EQ(solver_.forwardKinematics({ 0.1, 0.2, 0.3, 0.4, 0.5 }).size(), 0); });
  std::vector<double> q;
  EXPECT_EQ(solveArmType(pose, 6, q), 0);
  expectNear(q, { 0.1, -0.2, 0.3, 2.741592654, -0.5, 2.541592654 });
  printedBy([&] { EXPECT_EQ(solver_.inverseKinematics(pose, q), 0); });
  expectNear(q, kQ6);

  printedBy([&] { EXPECT_EQ(solver_.inverseKinematicsByReference(pose, { 0.1, -0.2 }, q), -1); });

  std::vector<double> wrong_twists = table_.alphas;
  wrong_twists[5] = -kHalfPi;
  std::vector<double> offset_wrist = table_.xas;
  offset_wrist[4] = 0.01;
  SixAxisKinematics refused;
  Eigen::MatrixXd overhead = Eigen::MatrixXd::Identity(4, 4);
  overhead(2, 3) = 1.0;
  Eigen::MatrixXd broken = pose;
  broken(1, 3) = std::numeric_limits<double>::quiet_NaN();
  broken(2, 2) = std::numeric_limits<double>::infinity();
  Eigen::MatrixXd skewed = pose;
  skewed.col(0) *= 1.0 + 1e-6;
  printedBy([&] {
    EXPECT_EQ(refused.init(table_.zds, { 0.0, 0.05, 0.40, 0.03, 0.0 }, table_.alphas, table_.qzeros), -1);
    EXPECT_EQ(refused.init(table_.zds, table_.xas, wrong_twists, table_.qzeros), -2);
    EXPECT_EQ(refused.init(table_.zds, offset_wrist, table_.alphas, table_.qzeros), -3);
    EXPECT_EQ(solveArmType(stretched, 6, q), 1003);
    EXPECT_EQ(q.size(), 6u);
    EXPECT_EQ(solveArmType(overhead, 0, q), 1001);
    EXPECT_EQ(solver_.inverseKinematics(overhead, q), -1);
    EXPECT_EQ(solveArmType(broken, 7, q), 1006);
    EXPECT_EQ(solveArmType(Eigen::MatrixXd::Identity(3, 3), 7, q), 1006);
    EXPECT_EQ(solveArmType(skewed, 7, q), 1007);
    for (const Eigen::MatrixXd& unsolvable : { overhead, broken, skewed }) {
      std::vector<std::vector<double>> solutions{ { 1.0 } };
      EXPECT_EQ(solver_.inverseKinematicsAllArmTypes(unsolvable, solutions), -1);
      EXPECT_TRUE(solutions.empty());
    }
  });
  EXPECT_EQ(refused.getAlpha(), std::vector<double>(6, 0.0));
}

// Joint 6 used to come out up to half a turn wrong with joints 4 and 5 both at quarter turns.
TEST_F(SixAxisTest, PosesOfSpecialAnglesSolveBackToTheirJoints)
{
  // Joint 3 where the upper arm lines up with the line from the elbow to the wrist centre.
  const double elbow_straight = kHalfPi - std::atan2(table_.xas[3], table_.zds[3]);
  // Regular unless joint 5 is straight, the elbow straight or folded, or the wrist centre on the
  // shoulder's offset circle.
  const auto regular = [&](const std::vector<double>& q) {
    const Eigen::MatrixXd pose = solver_.forwardKinematics(q);
    const Eigen::Vector3d wrist = pose.block<3, 1>(0, 3) - table_.zds[5] * pose.block<3, 1>(0, 2);
    return std::fabs(std::sin(q[4])) > 0.01 && std::fabs(std::sin(q[2] - elbow_straight)) > 0.05 &&
           std::hypot(wrist.x(), wrist.y()) - table_.zds[2] > 0.003;
  };
  const auto sweep = [](const Visit& add) {
    forEachGridVector({ 0.7, -0.4, 1.1, -2.3, 1.3, 0.5 }, add);
    add({ -1.15653, -1.62027, 2.55434, -kHalfPi, kHalfPi, 0.0 });
  };
  expectSweepSolvesBack(solver_, sweep, regular, 100000);
}

// The tool roll used to divide by the cosine of q2 + q3 + q4 + pi/2, zero with the last link
// vertical; the turned-away base was lost with the flange on the y axis, and the base turn was
// undefined with the flange on the base axis.
TEST_F(FiveAxisTest, PosesOfSpecialAnglesAndPitchSumsSolveBackToTheirJoints)
{
  // Regular unless the elbow is straight or folded, or at the right angle that elbow set refuses.
  const auto regular = [](const std::vector<double>& q) {
    const double from_right_angle = std::remainder(q[2] - kHalfPi, 2.0 * kPi);
    return std::fabs(std::sin(q[2])) > 1e-3 && std::fabs(from_right_angle) > 1e-3;
  };
  const auto sweep = [](const Visit& add) {
    forEachGridVector({ 0.7, -0.4, 1.1, -2.3, 1.3 }, [&](const std::vector<double>& q) {
      add(q);
      for (double pitch_sum : { 0.0, kPi, -kPi }) {
        std::vector<double> summed = q;
        summed[3] = pitch_sum - q[1] - q[2];
        add(summed);
      }
    });
    add({ 0.4, -1.0, 2.0, -1.5885221709384172, 0.3 });  // the flange on the base axis
  };
  expectSweepSolvesBack(solver_, sweep, regular, 50000);
}

// A reference pose; tables and poses without an exact solution fail.
TEST_F(FiveAxisTest, ReferencePoseAndPosesWithoutAnExactSolution)
{
  std::vector<double> offset_elbow = table_.zds;
  offset_elbow[2] = 0.01;
  OrvaneBotV3Kinematics refused;
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQ5);
  expectNear({ pose(0, 3), pose(1, 3), pose(2, 3) }, { -0.024856000, -0.002493919, 0.841429765 });
  Eigen::MatrixXd broken = pose;
  broken(2, 1) = -std::numeric_limits<double>::infinity();
  // Tilting the tool out of the arm plane asks for an orientation that five joints cannot give.
  const Eigen::MatrixXd tilted = pose * Eigen::Affine3d(Eigen::AngleAxisd(0.2, Eigen::Vector3d::UnitX())).matrix();
  Eigen::MatrixXd beyond_reach = solver_.forwardKinematics(std::vector<double>(5, 0.0));
  beyond_reach(2, 3) += 0.01;
  std::vector<double> q, not_a_number;
  std::vector<std::vector<double>> solutions;
  printedBy([&] {
    EXPECT_EQ(solver_.forwardKinematics({ 0.1, 0.2 }).size(), 0);
    EXPECT_EQ(refused.init(table_.zds, table_.xas, { 0.0, kHalfPi, 0.0, 0.0, kHalfPi }, table_.qzeros), -2);
    EXPECT_EQ(refused.init(offset_elbow, table_.xas, table_.alphas, table_.qzeros), -3);
    EXPECT_EQ(solveArmType(beyond_reach, 4, not_a_number), -10);
    EXPECT_EQ(solveArmType(broken, 4, q), -10);
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(solveArmType(tilted, 4, q), -11);
    EXPECT_EQ(solveArmType(tilted, 6, q), -11);
    EXPECT_TRUE(q.empty());
    for (const Eigen::MatrixXd& unsolvable : { broken, tilted, beyond_reach }) {
      EXPECT_EQ(solver_.inverseKinematicsAllArmTypes(unsolvable, solutions), 0);
      EXPECT_TRUE(solutions.empty());
    }
    // The single-solution forms are not offered for five joints: they leave q as it was.
    q = { 9.0 };
    EXPECT_EQ(solver_.inverseKinematics(pose, q), -1);
    EXPECT_EQ(solver_.inverseKinematicsByReference(pose, kQ5, q), -1);
  });
  EXPECT_EQ(q, std::vector<double>{ 9.0 });
}

// Magnitudes across every formatting branch, rounding ties and decade edges included, in pairs so that the separators
// are checked too; and prefixes around and beyond the printer's line buffer, printed whole.
TEST(JointValuesPrinterTest, MatchesTheStreamAndPrintfFormats)
{
  std::vector<double> values{ 0.0, -0.0, 1e-4, 9.99999e-5, 9.999995e-5, 0.1234565, 2.5, 999999.5, 999999.4,
                              -999999.6, 1e6, 123456.5, 0.5, 1.0 / 3.0, 3.14159265358979, 1e-320, 1e300,
                              std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN() };
  // Decimal ties at the sixth significant digit and at the sixth decimal, and every decade.
  for (int i = 100000; i < 1000000; i += 7919) {
    values.insert(values.end(), { i / 1e6 + 5e-7, i / 1e4 + 5e-5, -i / 1e4 - 5e-5, i * std::pow(10.0, i % 18 - 8) });
  }
  std::string expected;
  testing::internal::CaptureStdout();
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
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
}

}  // namespace
