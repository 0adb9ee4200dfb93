#include "kinematics/orvane_bot_v3_kinematics.h"
#include "test/kinematics/arm_tables.h"
#include "test/kinematics/solver_test_support.h"

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using solver_test::printedBy;

const std::vector<double> kQStar{ 0.1, -0.2, 0.3, -0.4, 0.5 };

class OrvaneBotV3KinematicsTest : public testing::Test
{
protected:
  void SetUp() override
  {
    const arm_tables::MdhTable table = arm_tables::arm5();
    printedBy([&] { ASSERT_EQ(solver_.init(table.zds, table.xas, table.alphas, table.qzeros), 0); });
  }

  OrvaneBotV3Kinematics solver_;
};

TEST_F(OrvaneBotV3KinematicsTest, ForwardKinematicsMatchesAReferencePose)
{
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  EXPECT_NEAR(pose(0, 3), -0.024856000, 1e-9);
  EXPECT_NEAR(pose(1, 3), -0.002493919, 1e-9);
  EXPECT_NEAR(pose(2, 3), 0.841429765, 1e-9);
  printedBy([&] { EXPECT_EQ(solver_.forwardKinematics({ 0.1, 0.2 }).size(), 0); });
}

// The tool roll used to divide by the cosine of q2 + q3 + q4 + pi/2, zero with the last link
// vertical; the turned-away base was lost with the flange on the y axis, and the base turn was
// undefined with the flange on the base axis.
TEST_F(OrvaneBotV3KinematicsTest, PosesOfSpecialAnglesAndPitchSumsSolveBackToTheirJoints)
{
  // Regular unless the elbow is straight or folded, or at the right angle that elbow set refuses.
  const auto regular = [](const std::vector<double>& q) {
    const double from_right_angle = std::remainder(q[2] - arm_tables::kHalfPi, 2.0 * solver_test::kPi);
    return std::fabs(std::sin(q[2])) > 1e-3 && std::fabs(from_right_angle) > 1e-3;
  };
  solver_test::Tally tally;
  const auto add = [&](const std::vector<double>& q) { tally.add(solver_, q, regular(q)); };
  printedBy([&] {
    solver_test::forEachGridVector({ 0.7, -0.4, 1.1, -2.3, 1.3 }, [&](const std::vector<double>& q) {
      add(q);
      for (double pitch_sum : { 0.0, solver_test::kPi, -solver_test::kPi }) {
        std::vector<double> summed = q;
        summed[3] = pitch_sum - q[1] - q[2];
        add(summed);
      }
    });
    solver_test::forEachRandomVector(5, 11, 300, add);
    add({ 0.4, -1.0, 2.0, -1.5885221709384172, 0.3 });  // the flange on the base axis
  });
  EXPECT_TRUE(tally.wrong.empty()) << testing::PrintToString(tally.wrong);
  EXPECT_TRUE(tally.missed.empty()) << testing::PrintToString(tally.missed);
  EXPECT_GT(tally.solutions, 50000);
}

TEST_F(OrvaneBotV3KinematicsTest, PosesWithoutAnExactSolutionFail)
{
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  const int facing[2][3] = { { 1, 0, 0 }, { 1, 1, 0 } };
  std::vector<double> q;
  std::vector<std::vector<double>> solutions;
  Eigen::MatrixXd broken = pose;
  broken(2, 1) = -std::numeric_limits<double>::infinity();
  // Tilting the tool out of the arm plane asks for an orientation that five joints cannot give.
  const Eigen::MatrixXd tilted = pose * Eigen::Affine3d(Eigen::AngleAxisd(0.2, Eigen::Vector3d::UnitX())).matrix();
  Eigen::MatrixXd beyond_reach = solver_.forwardKinematics(std::vector<double>(5, 0.0));
  beyond_reach(2, 3) += 0.01;
  std::vector<double> not_a_number;
  printedBy([&] {
    EXPECT_EQ(solver_.inverseKinematicsForArmType(beyond_reach, facing[0], not_a_number), -10);
    EXPECT_EQ(solver_.inverseKinematicsForArmType(broken, facing[0], q), -10);
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(solver_.inverseKinematicsForArmType(tilted, facing[0], q), -11);
    EXPECT_EQ(solver_.inverseKinematicsForArmType(tilted, facing[1], q), -11);
    EXPECT_TRUE(q.empty());
    for (const Eigen::MatrixXd& unsolvable : { broken, tilted, beyond_reach }) {
      EXPECT_EQ(solver_.inverseKinematicsAllArmTypes(unsolvable, solutions), 0);
      EXPECT_TRUE(solutions.empty());
    }
    // The single-solution forms are not offered for five joints: they leave q as it was.
    q = { 9.0 };
    EXPECT_EQ(solver_.inverseKinematics(pose, q), -1);
    EXPECT_EQ(solver_.inverseKinematicsByReference(pose, kQStar, q), -1);
  });
  EXPECT_EQ(q, std::vector<double>{ 9.0 });
}

TEST(OrvaneBotV3KinematicsInitTest, RejectsTablesOutsideTheClosedForm)
{
  const arm_tables::MdhTable table = arm_tables::arm5();
  arm_tables::MdhTable offset_elbow = table;
  offset_elbow.zds[2] = 0.01;
  OrvaneBotV3Kinematics solver;
  printedBy([&] {
    EXPECT_EQ(solver.init(table.zds, table.xas, { 0.0, arm_tables::kHalfPi, 0.0, 0.0, arm_tables::kHalfPi },
                          table.qzeros),
              -2);
    EXPECT_EQ(solver.init(offset_elbow.zds, table.xas, table.alphas, table.qzeros), -3);
  });
}

}  // namespace
