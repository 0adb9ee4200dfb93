#include "kinematics/orvane_bot_v3_kinematics.h"
#include "test/kinematics/arm_tables.h"
#include "test/kinematics/pose_sweep.h"

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const std::vector<double> kQStar{ 0.1, -0.2, 0.3, -0.4, 0.5 };

class OrvaneBotV3KinematicsTest : public testing::Test
{
protected:
  void SetUp() override
  {
    const arm_tables::MdhTable table = arm_tables::arm5();
    CaptureStdout();
    ASSERT_EQ(solver_.init(table.zds, table.xas, table.alphas, table.qzeros), 0);
    GetCapturedStdout();
  }

  OrvaneBotV3Kinematics solver_;
};

TEST_F(OrvaneBotV3KinematicsTest, SolvesAReferencePoseInTwoConfigurations)
{
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  EXPECT_NEAR(pose(0, 3), -0.024856000, 1e-9);
  EXPECT_NEAR(pose(1, 3), -0.002493919, 1e-9);
  EXPECT_NEAR(pose(2, 3), 0.841429765, 1e-9);

  std::vector<std::vector<double>> solutions;
  CaptureStdout();
  EXPECT_EQ(solver_.inverseKinematicsAllArmTypes(pose, solutions), 0);
  const std::string output = GetCapturedStdout();
  ASSERT_EQ(solutions.size(), 2u);
  const auto isQStar = [](const std::vector<double>& q) {
    return std::equal(q.begin(), q.end(), kQStar.begin(), kQStar.end(),
                      [](double a, double b) { return std::fabs(a - b) <= 1e-9; });
  };
  EXPECT_TRUE(isQStar(solutions[0]) || isQStar(solutions[1]));
  EXPECT_NE(output.find("0.100000,-0.200000,0.300000,-0.400000,0.500000,\n"), std::string::npos);

  CaptureStdout();
  EXPECT_EQ(solver_.forwardKinematics({ 0.1, 0.2 }).size(), 0);
  EXPECT_EQ(GetCapturedStdout(), "forwardKinematics needs 5 joint values, got 2\n");
}

TEST_F(OrvaneBotV3KinematicsTest, StretchedArmFailsInEveryConfiguration)
{
  const Eigen::MatrixXd pose = solver_.forwardKinematics(std::vector<double>(5, 0.0));
  CaptureStdout();
  for (int k = 0; k < 4; ++k) {
    const int arm_type[3] = { k >> 1, k & 1, 0 };
    std::vector<double> q;
    EXPECT_NE(solver_.inverseKinematicsForArmType(pose, arm_type, q), 0) << "configuration " << k;
  }
  std::vector<std::vector<double>> solutions;
  EXPECT_EQ(solver_.inverseKinematicsAllArmTypes(pose, solutions), 0);
  const std::string output = GetCapturedStdout();
  EXPECT_TRUE(solutions.empty());
  EXPECT_EQ(output.find("armtype"), std::string::npos);
  EXPECT_NE(output.find("inverseKinematics not a number!!!!\n"), std::string::npos) << output;
}

// The tool roll used to divide by the cosine of q2 + q3 + q4 + pi/2, zero with the last link vertical,
// and the base turned away was lost with the flange on the y axis.
TEST_F(OrvaneBotV3KinematicsTest, PosesOfSpecialAnglesAndPitchSumsSolveBackToTheirJoints)
{
  // Regular unless the elbow is straight or folded, or at the right angle that elbow set refuses.
  const auto regular = [](const std::vector<double>& q) {
    const double from_right_angle = std::remainder(q[2] - arm_tables::kHalfPi, 2.0 * pose_sweep::kPi);
    return std::fabs(std::sin(q[2])) > 1e-3 && std::fabs(from_right_angle) > 1e-3;
  };
  pose_sweep::Tally tally;
  CaptureStdout();
  pose_sweep::forEachGridVector({ 0.7, -0.4, 1.1, -2.3, 1.3 }, [&](std::vector<double>& q) {
    tally.add(solver_, q, regular(q));
    for (double pitch_sum : { 0.0, pose_sweep::kPi, -pose_sweep::kPi }) {
      std::vector<double> summed = q;
      summed[3] = pitch_sum - q[1] - q[2];
      tally.add(solver_, summed, regular(summed));
    }
  });
  pose_sweep::forEachRandomVector(5, 11, 300, [&](std::vector<double>& q) { tally.add(solver_, q, regular(q)); });
  GetCapturedStdout();
  EXPECT_EQ(tally.wrong, "");
  EXPECT_EQ(tally.missed, "");
  EXPECT_GT(tally.solutions, 50000);
}

TEST_F(OrvaneBotV3KinematicsTest, SingleSolutionFormsReportNoSolution)
{
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  std::vector<double> q{ 9.0 };
  CaptureStdout();
  EXPECT_EQ(solver_.inverseKinematics(pose, q), -1);
  EXPECT_EQ(solver_.inverseKinematicsByReference(pose, kQStar, q), -1);
  EXPECT_EQ(GetCapturedStdout(),
            "inverseKinematics is not available for this arm, use inverseKinematicsAllArmTypes\n"
            "inverseKinematicsByReference is not available for this arm, use inverseKinematicsAllArmTypes\n");
  EXPECT_EQ(q, std::vector<double>{ 9.0 });
}

TEST_F(OrvaneBotV3KinematicsTest, PosesWithoutAnExactSolutionFail)
{
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  const int arm_type[3] = { 1, 1, 0 };
  std::vector<double> q;
  std::vector<std::vector<double>> solutions;
  for (double bad : { std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity() }) {
    for (int entry : { 0, 6, 13, 15 }) {
      Eigen::MatrixXd broken = pose;
      broken(entry % 4, entry / 4) = bad;
      CaptureStdout();
      EXPECT_EQ(solver_.inverseKinematicsForArmType(broken, arm_type, q), -10);
      EXPECT_EQ(solver_.inverseKinematicsAllArmTypes(broken, solutions), 0);
      EXPECT_EQ(GetCapturedStdout(),
                "the input pose is not a finite 4x4 matrix!!!\nthe input pose is not a finite 4x4 matrix!!!\n");
      EXPECT_TRUE(q.empty());
      EXPECT_TRUE(solutions.empty());
    }
  }

  // Tilting the tool out of the arm plane asks for an orientation that five joints cannot give.
  const Eigen::MatrixXd tilted = pose * Eigen::Affine3d(Eigen::AngleAxisd(0.2, Eigen::Vector3d::UnitX())).matrix();
  const int facing[2][3] = { { 1, 0, 0 }, { 1, 1, 0 } };
  CaptureStdout();
  EXPECT_EQ(solver_.inverseKinematicsForArmType(tilted, facing[0], q), -11);
  EXPECT_EQ(solver_.inverseKinematicsForArmType(tilted, facing[1], q), -11);
  const std::string message = "the inverseKinematics solution does not reproduce the pose!!!\n";
  EXPECT_EQ(GetCapturedStdout(), message + message);
  EXPECT_TRUE(q.empty());
  CaptureStdout();
  EXPECT_EQ(solver_.inverseKinematicsAllArmTypes(tilted, solutions), 0);
  GetCapturedStdout();
  EXPECT_TRUE(solutions.empty());
}

TEST(OrvaneBotV3KinematicsInitTest, RejectsBadTables)
{
  arm_tables::MdhTable table = arm_tables::arm5();
  OrvaneBotV3Kinematics solver;
  CaptureStdout();
  EXPECT_EQ(solver.init(table.zds, table.xas, table.alphas, { 0.0 }), -1);
  EXPECT_EQ(solver.init(table.zds, table.xas, { 0.0, arm_tables::kHalfPi, 0.0, 0.0, arm_tables::kHalfPi },
                        table.qzeros),
            -2);
  EXPECT_EQ(GetCapturedStdout(),
            "the size of zds,xas,alphas,qzeros not equal\nalpha sequence not equal\n"
            "the input robot type is not right!!!\n");

  const struct
  {
    bool on_zd;
    int joint;  // 1-based
    const char* message;
  } assumptions[] = { { true, 2, "zd of joint 2 must be 0" },   { true, 3, "zd of joint 3 must be 0" },
                      { true, 4, "zd of joint 4 must be 0" },   { false, 1, "xa of joint 1 must be 0" },
                      { false, 3, "xa of joint 3 must not be 0" }, { false, 4, "xa of joint 4 must not be 0" } };
  for (const auto& assumption : assumptions) {
    table = arm_tables::arm5();
    double& value = (assumption.on_zd ? table.zds : table.xas)[assumption.joint - 1];
    value = value == 0.0 ? 0.01 : 0.0;
    CaptureStdout();
    EXPECT_EQ(solver.init(table.zds, table.xas, table.alphas, table.qzeros), -3);
    EXPECT_EQ(GetCapturedStdout(),
              std::string("the mdh parameters do not fit the closed form: ") + assumption.message + "\n");
  }
}

}  // namespace
