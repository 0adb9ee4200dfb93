#include "kinematics/six_axis_kinematics.h"
#include "test/kinematics/arm_tables.h"
#include "test/kinematics/solver_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using solver_test::printedBy;

const std::vector<double> kQStar{ 0.1, -0.2, 0.3, -0.4, 0.5, -0.6 };

class SixAxisKinematicsTest : public testing::Test
{
protected:
  void SetUp() override
  {
    const arm_tables::MdhTable table = arm_tables::arm6();
    printedBy([&] { ASSERT_EQ(solver_.init(table.zds, table.xas, table.alphas, table.qzeros), 0); });
  }

  int solveArmType(const Eigen::MatrixXd& pose, int k, std::vector<double>& q)
  {
    const int arm_type[3] = { (k >> 2) & 1, (k >> 1) & 1, k & 1 };
    return solver_.inverseKinematicsForArmType(pose, arm_type, q);
  }

  SixAxisKinematics solver_;
};

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected)
{
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], 1e-9) << "joint " << i;
  }
}

TEST_F(SixAxisKinematicsTest, ForwardKinematicsMatchesReferencePoses)
{
  Eigen::Matrix4d stretched;
  stretched << 0, 0, 1, 0.48, 0, -1, 0, -0.10, 1, 0, 0, 0.73, 0, 0, 0, 1;
  EXPECT_TRUE(solver_.forwardKinematics(std::vector<double>(6, 0.0)).isApprox(stretched, 1e-9));
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  EXPECT_NEAR(pose(0, 3), 0.546842536, 1e-9);
  EXPECT_NEAR(pose(1, 3), -0.030624066, 1e-9);
  EXPECT_NEAR(pose(2, 3), 0.798977345, 1e-9);
  EXPECT_NEAR(pose(0, 0), -0.516248927, 1e-9);
  EXPECT_NEAR(pose(0, 1), -0.288641543, 1e-9);
  EXPECT_NEAR(pose(0, 2), 0.806333123, 1e-9);
  printedBy([&] { EXPECT_EQ(solver_.forwardKinematics({ 0.1, 0.2, 0.3, 0.4, 0.5 }).size(), 0); });
}

TEST_F(SixAxisKinematicsTest, TheChoiceAndTheReferenceSolveFindTheOriginal)
{
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  std::vector<double> q;
  EXPECT_EQ(solveArmType(pose, 6, q), 0);
  expectNear(q, { 0.1, -0.2, 0.3, 2.741592654, -0.5, 2.541592654 });  // the original's other wrist
  printedBy([&] { EXPECT_EQ(solver_.inverseKinematics(pose, q), 0); });
  expectNear(q, kQStar);

  // The reference's raw values name shoulder set, elbow clear and wrist set; joint 6 lands within
  // half a turn of the reference's.
  std::vector<double> expected;
  ASSERT_EQ(solveArmType(pose, 5, expected), 0);
  expected[5] += 2.0 * solver_test::kPi;
  EXPECT_EQ(solver_.inverseKinematicsByReference(pose, { 0.1, -0.2, 0.3, -0.4, 0.5, 5.4 }, q), 0);
  expectNear(q, expected);
  printedBy([&] {
    EXPECT_EQ(solver_.inverseKinematicsByReference(pose, { 0.1, -0.2, 0.3, -0.4, 0.5, 20.0 }, q), 1005);
    EXPECT_EQ(solver_.inverseKinematicsByReference(pose, { 0.1, -0.2 }, q), -1);
  });
}

// Joint 6 used to come out up to half a turn wrong with joints 4 and 5 both at quarter turns.
TEST_F(SixAxisKinematicsTest, PosesOfSpecialAnglesSolveBackToTheirJoints)
{
  const arm_tables::MdhTable table = arm_tables::arm6();
  // Joint 3 where the upper arm lines up with the line from the elbow to the wrist centre.
  const double elbow_straight = arm_tables::kHalfPi - std::atan2(table.xas[3], table.zds[3]);
  // Regular unless joint 5 is straight, the elbow straight or folded, or the wrist centre on the
  // shoulder's offset circle.
  const auto regular = [&](const std::vector<double>& q) {
    const Eigen::MatrixXd pose = solver_.forwardKinematics(q);
    const Eigen::Vector3d wrist = pose.block<3, 1>(0, 3) - table.zds[5] * pose.block<3, 1>(0, 2);
    return std::fabs(std::sin(q[4])) > 0.01 && std::fabs(std::sin(q[2] - elbow_straight)) > 0.05 &&
           std::hypot(wrist.x(), wrist.y()) - table.zds[2] > 0.003;
  };
  solver_test::Tally tally;
  const auto add = [&](const std::vector<double>& q) { tally.add(solver_, q, regular(q)); };
  printedBy([&] {
    solver_test::forEachGridVector({ 0.7, -0.4, 1.1, -2.3, 1.3, 0.5 }, add);
    solver_test::forEachRandomVector(6, 7, 300, add);
    add({ -1.15653, -1.62027, 2.55434, -arm_tables::kHalfPi, arm_tables::kHalfPi, 0.0 });
  });
  EXPECT_TRUE(tally.wrong.empty()) << testing::PrintToString(tally.wrong);
  EXPECT_TRUE(tally.missed.empty()) << testing::PrintToString(tally.missed);
  EXPECT_GT(tally.solutions, 100000);
}

// Singular poses, non-finite or wrongly sized poses, and a rotation part that is no rotation (the
// closed form still yields angles, whose pose differs): each with its code, and no solutions.
TEST_F(SixAxisKinematicsTest, PosesWithoutAnExactSolutionReportTheirCodes)
{
  const Eigen::MatrixXd stretched = solver_.forwardKinematics(std::vector<double>(6, 0.0));
  Eigen::MatrixXd overhead = Eigen::MatrixXd::Identity(4, 4);
  overhead(2, 3) = 1.0;
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  Eigen::MatrixXd broken = pose;
  broken(1, 3) = std::numeric_limits<double>::quiet_NaN();
  broken(2, 2) = std::numeric_limits<double>::infinity();
  Eigen::MatrixXd skewed = pose;
  skewed.col(0) *= 1.0 + 1e-6;
  std::vector<double> q;
  printedBy([&] {
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
}

TEST(SixAxisKinematicsInitTest, RejectsTablesOutsideTheClosedForm)
{
  const arm_tables::MdhTable table = arm_tables::arm6();
  std::vector<double> wrong_twists = table.alphas;
  wrong_twists[5] = -arm_tables::kHalfPi;
  arm_tables::MdhTable offset_wrist = table;
  offset_wrist.xas[4] = 0.01;
  SixAxisKinematics solver;
  printedBy([&] {
    EXPECT_EQ(solver.init(table.zds, { 0.0, 0.05, 0.40, 0.03, 0.0 }, table.alphas, table.qzeros), -1);
    EXPECT_EQ(solver.init(table.zds, table.xas, wrong_twists, table.qzeros), -2);
    EXPECT_EQ(solver.init(offset_wrist.zds, offset_wrist.xas, table.alphas, table.qzeros), -3);
  });
  EXPECT_EQ(solver.getAlpha(), std::vector<double>(6, 0.0));
}

}  // namespace
